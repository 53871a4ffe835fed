#!/usr/bin/env python3
"""Writes the size table of tools/bench/run.sh: our pt_setup64.exe against NSIS peers of the
same files with each compressor, and the stubs that neither side's files are in.

Usage: sizes.py --out SIZES.md --stubs PREFIX
                --payload LABEL OURS.exe PAYLOAD.zip NSIS_PREFIX [--payload ...]
NSIS peers are NSIS_PREFIX-<compressor>.exe, NSIS empty-script stubs PREFIX-<compressor>.exe.
"""
import argparse
import os
import zipfile

COMPRESSORS = [("zlib", "zlib, per file"), ("lzma", "lzma, per file"), ("lzma-solid", "lzma, solid")]


def percent(part, whole):
    return "%.1f %%" % (100.0 * part / whole)


def payload_rows(label, ours, zip_path, nsis_prefix, stubs):
    """Rows of one payload: the whole installer, and its files part (the installer less its stub)."""
    with zipfile.ZipFile(zip_path) as z:
        files = [i for i in z.infolist() if not i.is_dir()]
    unpacked = sum(i.file_size for i in files)
    ours_size, zip_size = os.path.getsize(ours), os.path.getsize(zip_path)
    rows = [("%s (%d files, %d bytes unpacked)" % (label, len(files), unpacked),
             "ours: pt_setup64.exe (.xz per file)", ours_size, "100.0 %", zip_size, "100.0 %")]
    for key, name in COMPRESSORS:
        size = os.path.getsize("%s-%s.exe" % (nsis_prefix, key))
        part = size - os.path.getsize("%s-%s.exe" % (stubs, key))
        rows.append(("", "NSIS, " + name, size, percent(size, ours_size), part, percent(part, zip_size)))
    return rows, ours_size - zip_size


def table(payloads, stubs):
    lines = ["## Sizes", "",
             "| Payload | Installer | Bytes | Of ours | Files part (bytes) | Of ours |",
             "|---|---|---:|---:|---:|---:|"]
    our_stubs = []
    for label, ours, zip_path, nsis_prefix in payloads:
        rows, our_stub = payload_rows(label, ours, zip_path, nsis_prefix, stubs)
        lines += ["| %s | %s | %d | %s | %d | %s |" % row for row in rows]
        our_stubs.append("%d (%s)" % (our_stub, label))
    lines += ["", "| Stub | Bytes |", "|---|---:|"]
    lines += ["| NSIS empty script, %s | %d |" % (name, os.path.getsize("%s-%s.exe" % (stubs, key)))
              for key, name in COMPRESSORS]
    lines += ["",
              "- Files part: ours is the payload ZIP inside pt_setup64.exe; an NSIS peer's is the installer "
              "less the empty script's stub for its compressor (so it holds the peer's script and its "
              "System plug-in too).",
              "- Our stub (pt_setup64.exe less its payload ZIP): %s bytes." % ", ".join(our_stubs),
              "- NSIS lzma uses its default 8 MiB dictionary; ours is at most 1 MiB a file."]
    return "\n".join(lines) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", required=True)
    ap.add_argument("--stubs", required=True)
    ap.add_argument("--payload", nargs=4, action="append", required=True,
                    metavar=("LABEL", "OURS", "ZIP", "NSIS_PREFIX"))
    args = ap.parse_args()
    text = table(args.payload, args.stubs)
    with open(args.out, "w") as f:
        f.write(text)
    print(text)


if __name__ == "__main__":
    main()
