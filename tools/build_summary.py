#!/usr/bin/python3
"""Prints what a build made: for each deliverable the payload's source folder, its entry count and
size, the version the program carries, the file's size and SHA-256, and whether it is signed.
Usage: build_summary.py BUILD DIST signed|unsigned   (timestamped() alone: import it)"""
import hashlib
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "payload"))
from product_version import program_version  # noqa: E402  (the build reads the version the same way)

# The attributes a timestamp adds to an Authenticode signature, as DER object identifiers: an
# RFC 3161 countersignature (1.3.6.1.4.1.311.3.3.1) or an older one (1.2.840.113549.1.9.6).
TIMESTAMP_OIDS = (bytes.fromhex("060a2b060104018237030301"), bytes.fromhex("06092a864886f70d010906"))


def timestamped(data):
    """True when the program's signature carries a timestamp."""
    offset = int.from_bytes(data[0x3C:0x40], "little")
    magic = int.from_bytes(data[offset + 24:offset + 26], "little")
    security = offset + 24 + (96 if magic == 0x10B else 112) + 4 * 8  # the data directory's fifth entry
    start, size = int.from_bytes(data[security:security + 4], "little"), int.from_bytes(data[security + 4:security + 8], "little")
    return any(oid in data[start:start + size] for oid in TIMESTAMP_OIDS)


def main():
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
              + ("signed, the signature verified against the key's certificate, "
                 + ("timestamped" if timestamped(data) else "not timestamped (it stops verifying when the certificate expires)")
                 if signing == "signed" else "unsigned"))


if __name__ == "__main__":
    main()
