#!/usr/bin/env python3
"""Writes a UTF-8 text file as UTF-16LE with a byte-order mark and CR LF line ends."""
import sys

def main(source, target):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    with open(target, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))

if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
