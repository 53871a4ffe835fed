#!/usr/bin/env python3
"""Writes a UTF-8 text file as UTF-16LE with a byte-order mark and CR LF line ends; with
--version, only when the text's first line names that version.
Usage: utf16_text.py SOURCE TARGET [--version MAJOR.MINOR]"""
import argparse
import re
import sys


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("source")
    ap.add_argument("target")
    ap.add_argument("--version", help="the version the first line must name")
    args = ap.parse_args()
    try:
        with open(args.source, encoding="utf-8-sig") as f:  # a byte-order mark of its own is not text
            text = f.read()
    except UnicodeDecodeError as error:
        sys.exit(f"{args.source}: not UTF-8 (byte {error.start}); save the notes as UTF-8")
    except OSError as error:
        sys.exit(f"{args.source}: cannot be read ({error.strerror}); write this version's release notes there, "
                 "or name a file of them with PT_RELEASE_NOTES")
    first = text.splitlines()[0] if text else ""
    if args.version and not re.search(rf"(?<![\d.]){re.escape(args.version)}(?![\d]|\.\d)", first):
        sys.exit(f"{args.source}: the first line ({first!r}) does not name version {args.version}: "
                 "write this version's release notes there, or name a file of them with PT_RELEASE_NOTES")
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    with open(args.target, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


if __name__ == "__main__":
    main()
