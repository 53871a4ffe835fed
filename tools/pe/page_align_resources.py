#!/usr/bin/env python3
"""Moves a linked program's resource section to a page boundary of the file, in place.

Usage: page_align_resources.py PROGRAM.exe

With the usual 512-byte file alignment Wine cannot map a section that starts inside a page of
the file: it reads the whole section into memory when the program starts. The setup's resource
section carries the payload, some megabytes that the program copies from its own file; on a page
boundary the section is mapped instead and its pages are never read. Only this one section moves
(at most 4095 bytes of padding before it); the other sections keep their 512-byte alignment.
"""
import array
import struct
import sys

PAGE = 0x1000


def pe_checksum(data, checksum_at):
    """The image checksum as the linker writes it: 16-bit sum with carries folded, plus length."""
    words = array.array("H", bytes(data[:len(data) & ~1]))
    if sys.byteorder != "little":
        words.byteswap()
    total = sum(words) - sum(struct.unpack_from("<HH", data, checksum_at))
    if len(data) & 1:
        total += data[-1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def main(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit("%s: not a PE file" % path)
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    checksum_at = optional + 64
    # The certificate table holds a file offset too; signing comes after this step.
    certificate_dir = optional + (128 if magic == 0x10B else 144) + 4 * 8
    if struct.unpack_from("<II", data, certificate_dir) != (0, 0):
        sys.exit("%s: already signed; align before signing" % path)
    table = optional + optional_size
    headers = [table + 40 * i for i in range(sections)]
    rsrc = next((h for h in headers if data[h:h + 8].rstrip(b"\0") == b".rsrc"), None)
    if rsrc is None:
        sys.exit("%s: no resource section" % path)
    start = struct.unpack_from("<I", data, rsrc + 20)[0]
    pad = -start % PAGE
    if pad == 0:
        return
    for h in headers:
        raw = struct.unpack_from("<I", data, h + 20)[0]
        if raw >= start:
            struct.pack_into("<I", data, h + 20, raw + pad)
    data[start:start] = bytes(pad)
    struct.pack_into("<I", data, checksum_at, pe_checksum(data, checksum_at))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
