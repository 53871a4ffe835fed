#!/usr/bin/env python3
"""Writes the payload archive's entry list as rows of a C++ table: {L"name", folder},
names with backslashes. Usage: entry_list.py PAYLOAD_ZIP OUT_INC"""
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as archive:
    names = [info.filename for info in archive.infolist()]
rows = []
for name in names:
    folder = name.endswith("/")
    text = name.rstrip("/").replace("/", "\\\\")
    if not text.isascii() or '"' in text:
        sys.exit(f"entry_list.py: {name!r} is no plain ASCII name")
    rows.append(f'    {{L"{text}", {"true" if folder else "false"}}},\n')
with open(sys.argv[2], "w", newline="\n") as out:
    out.write("// Generated from the payload archive by tools/payload/entry_list.py.\n")
    out.writelines(rows)
