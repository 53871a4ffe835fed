#!/usr/bin/env python3
"""Writes a module-definition file for a 32-bit delay-import library: each plain export name of
the input gets its stdcall decoration (Name@bytes), read from the toolchain's own import library.
dlltool -k then imports the plain name while the program links against the decorated one.
Usage: decorate_def.py <in.def> <nm> <import library> <out.def>"""
import re
import subprocess
import sys

source, nm, import_lib, target = sys.argv[1:5]
symbols = subprocess.run([nm, import_lib], check=True, capture_output=True, text=True).stdout
decorated = {}
for match in re.finditer(r"__imp__([A-Za-z0-9_]+)(@\d+)$", symbols, re.MULTILINE):
    decorated.setdefault(match.group(1), match.group(1) + match.group(2))

lines, in_exports = [], False
for line in open(source, encoding="ascii").read().splitlines():
    name = line.strip()
    if name.upper() == "EXPORTS":
        in_exports = True
    elif in_exports and name:
        if name not in decorated:
            sys.exit(f"{import_lib} has no stdcall export {name}")
        line = decorated[name]
    lines.append(line)
with open(target, "w", encoding="ascii", newline="\n") as out:
    out.write("\n".join(lines) + "\n")
