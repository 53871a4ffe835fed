#!/usr/bin/env python3
"""Reads every #include "folder/..." line of the program's C++ sources and fails on an include that
points upward or sideways between the layers, or on a source folder no layer names.
Usage: check_layers.py ROOT"""
import os
import re
import sys

# Bottom to top; a folder includes only its own files and folders of a lower level.
LEVELS = {"res": 0, "framework": 0, "variants": 1, "model": 2, "shell": 3, "engine": 4,
          "silent": 5, "wizard": 5, "uninstaller": 5, "app": 6}
NOT_PROGRAM = {"tests", "tools", "build", "dist", "docs", "cmake", "packaging"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')

root = sys.argv[1]
faults = []
for folder in sorted(os.listdir(root)):
    path = os.path.join(root, folder)
    if not os.path.isdir(path) or folder.startswith(".") or folder in NOT_PROGRAM or folder.startswith("build"):
        continue
    sources = [n for n in sorted(os.listdir(path)) if n.endswith((".cpp", ".h"))]
    if not sources:
        continue
    if folder not in LEVELS:
        faults.append(f"{folder}/: a source folder that no layer names")
        continue
    for name in sources:
        with open(os.path.join(path, name), encoding="utf-8", errors="replace") as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match or match.group(1) == folder or not os.path.isdir(os.path.join(root, match.group(1))):
                    continue
                target = match.group(1)
                if LEVELS.get(target, 99) >= LEVELS[folder]:
                    faults.append(f"{folder}/{name}:{number}: includes {target}/, not below {folder}/")
for fault in faults:
    print(fault)
print(f"{len(faults)} upward or sideways includes")
sys.exit(1 if faults else 0)
