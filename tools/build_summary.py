#!/usr/bin/python3
"""Prints what a build made: for each deliverable the payload's source folder, its entry count and
size, the version the program carries, the file's size and SHA-256, and whether it is signed.
Usage: build_summary.py BUILD DIST signed|unsigned"""
import hashlib
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "payload"))
from product_version import program_version  # noqa: E402  (the build reads the version the same way)

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
    version = program_version(path)
    print(f"{exe}: payload {source}, {len(infos)} entries, {sum(i.file_size for i in infos):,} bytes; "
          f"version {version}; {len(data):,} bytes, SHA-256 {hashlib.sha256(data).hexdigest()}; "
          + ("signed, the signature verified against the key's certificate" if signing == "signed" else "unsigned"))
