#!/usr/bin/python3
"""Prints a program's version as major.minor from its fixed version information; fails, saying
why, when the file is missing or carries none. Usage: product_version.py PROGRAM"""
import sys

import pefile

path = sys.argv[1]
try:
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    fixed = pe.VS_FIXEDFILEINFO[0]
except (OSError, pefile.PEFormatError, AttributeError, IndexError) as error:
    sys.exit(f"{path}: no version information to take the product's version from ({error}); "
             "name the version with PT_VERSION=major.minor")
print(f"{fixed.FileVersionMS >> 16}.{fixed.FileVersionMS & 0xFFFF}")
