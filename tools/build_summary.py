#!/usr/bin/python3
"""Prints what a build made: for each deliverable the payload's source folder, its entry count and
size, the version the program carries, the file's size and SHA-256, and whether it is signed.
Usage: build_summary.py BUILD DIST signed|unsigned"""
import hashlib
import os
import sys
import zipfile

import pefile

build, dist, signing = sys.argv[1:4]
for arch, exe in (("x64", "pt_setup64.exe"), ("x86", "pt_setup32.exe")):
    source = "the generated stand-in"
    with open(os.path.join(build, arch, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith("PT_PRODUCT_DIR:") and line.split("=", 1)[1].strip():
                source = "from " + line.split("=", 1)[1].strip()
    with zipfile.ZipFile(os.path.join(build, arch, "payload", "pt_payload.zip")) as payload:
        infos = payload.infolist()
    path = os.path.join(dist, exe)
    data = open(path, "rb").read()
    pe = pefile.PE(data=data, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    fixed = pe.VS_FIXEDFILEINFO[0]
    version = f"{fixed.FileVersionMS >> 16}.{fixed.FileVersionMS & 0xFFFF:02d}"
    print(f"{exe}: payload {source}, {len(infos)} entries, {sum(i.file_size for i in infos):,} bytes; "
          f"version {version}; {len(data):,} bytes, SHA-256 {hashlib.sha256(data).hexdigest()}; "
          + ("signed, the signature verified against the key's certificate" if signing == "signed" else "unsigned"))
