#!/usr/bin/env python3
"""Reads the entries of a payload ZIP, whose files are stored (method 0) or .xz streams (method 95):
Python's zipfile lists them but cannot decode method 95, so each entry's data is read from its
local header and decoded with Python's own lzma module.

Usage: payload_zip.py ZIP NAME OUT     (writes the entry NAME, unpacked, to OUT)
"""
import io
import lzma
import struct
import sys
import zipfile
import zlib


def entry_data(zip_bytes, info):
    """The entry's bytes as unpacked, checked against its size and CRC-32."""
    name_length, extra_length = struct.unpack_from("<HH", zip_bytes, info.header_offset + 26)
    start = info.header_offset + 30 + name_length + extra_length
    raw = zip_bytes[start:start + info.compress_size]
    if info.compress_type == 0:
        data = raw
    elif info.compress_type == 95:
        decoder = lzma.LZMADecompressor(lzma.FORMAT_XZ)
        data = decoder.decompress(raw)
        if not decoder.eof or decoder.unused_data:
            raise ValueError(f"{info.filename}: the entry is not exactly one .xz stream")
    else:
        raise ValueError(f"{info.filename}: method {info.compress_type}, not one the setup reads")
    if (len(data), zlib.crc32(data)) != (info.file_size, info.CRC):
        raise ValueError(f"{info.filename}: unpacks to other bytes than its size and CRC-32 say")
    return data


def read_entry(zip_bytes, name):
    """The entry `name` of the ZIP in `zip_bytes`, unpacked."""
    return entry_data(zip_bytes, zipfile.ZipFile(io.BytesIO(zip_bytes)).getinfo(name))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        data = read_entry(f.read(), sys.argv[2])
    with open(sys.argv[3], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
