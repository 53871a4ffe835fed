#!/usr/bin/env python3
"""Writes a product folder shaped like the stand-in whose programs are real machine code.

Usage: real_code_product.py --arch x64|x86 --bin-dir DIR --out FOLDER

The folder has the stand-in's names, sizes, texts, pictures and help file (make_payload.py's
build_entries; DIR is build/<arch>/tools/payload/bin of a configured build). Each .exe and .dll
is made of Wine's own Windows DLLs as Debian installs them, stripped: the largest unused one
that fits first, then the largest that fits what is left, the last one cut at the exact size.
pt_main64.exe / pt_main32.exe starts with the stand-in's compiled program instead, which
carries the version the build reads. No Wine DLL serves twice in one folder, and only DLLs
that are mostly code serve. The same machine gives the same folder, each file and folder
dated 2024-05-01 12:00 UTC. FOLDER is replaced; it is for benchmarks, never to be committed.
"""
import argparse
import concurrent.futures
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "payload"))
import make_payload  # noqa: E402

WINE_DLLS = {"x64": "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows",
             "x86": "/usr/lib/i386-linux-gnu/wine/i386-windows"}
STRIP = {"x64": "x86_64-w64-mingw32-strip", "x86": "i686-w64-mingw32-strip"}
MAIN = {"x64": "pt_main64.exe", "x86": "pt_main32.exe"}
IMAGE_SCN_CNT_CODE = 0x20
MIN_CODE_SHARE = 0.5  # below this a DLL is mostly resources or data, not code


def pe_layout(data):
    """(machine, share of the file in code sections) of a PE file, or (None, 0)."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None, 0
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None, 0
    machine, count = struct.unpack_from("<HH", data, pe + 4)
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    code = 0
    for i in range(count):
        header = pe + 24 + optional + 40 * i
        raw_size = struct.unpack_from("<I", data, header + 16)[0]
        if struct.unpack_from("<I", data, header + 36)[0] & IMAGE_SCN_CNT_CODE:
            code += raw_size
    return machine, code / len(data)


def strip_one(arch, source, target):
    # strip stamps the PE header with the current time unless SOURCE_DATE_EPOCH names one.
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(make_payload.STAND_IN_TIME))
    done = subprocess.run([STRIP[arch], "-o", target, source], env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return done.returncode == 0


def code_pool(arch, folder):
    """(name, path, size) of every stripped Wine DLL of the machine that is mostly code, in the
    order they are picked: largest first, then by name."""
    names = sorted(n for n in os.listdir(WINE_DLLS[arch]) if n.endswith(".dll"))
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
        stripped = list(pool.map(lambda n: strip_one(arch, os.path.join(WINE_DLLS[arch], n),
                                                     os.path.join(folder, n)), names))
    found = []
    for name, ok in zip(names, stripped):
        path = os.path.join(folder, name)
        if not ok:
            continue
        with open(path, "rb") as f:
            machine, share = pe_layout(f.read())
        if machine == make_payload.PE_MACHINES[arch] and share >= MIN_CODE_SHARE:
            found.append((name, path, os.path.getsize(path)))
    print(f"real_code_product: {len(found)} of {len(names)} Wine DLLs for {arch} are mostly code")
    return sorted(found, key=lambda item: (-item[2], item[0]))


def pick(pool, used, room):
    """The largest unused DLL that fits in room, else the smallest unused one (to be cut)."""
    unused = [item for item in pool if item[0] not in used]
    if not unused:
        sys.exit("real_code_product: every Wine DLL is used; the folder needs more code than there is")
    return next((item for item in unused if item[2] <= room), unused[-1])


def real_code(name, head, size, pool, used):
    """`size` bytes of real code: `head`, then whole stripped Wine DLLs, the last one cut."""
    out = bytearray(head)
    if len(out) > size:
        sys.exit(f"real_code_product: {name}: the compiled program is larger than its slot of {size} bytes")
    taken = []
    while len(out) < size:
        dll, path, length = pick(pool, used, size - len(out))
        if not out and length > size:
            sys.exit(f"real_code_product: {name}: no unused Wine DLL fits in {size} bytes")
        used.add(dll)
        taken.append(dll)
        with open(path, "rb") as f:
            out += f.read()
    print(f"  {name}: {'stand-in program + ' if head else ''}{', '.join(taken)}")
    return bytes(out[:size])


def fresh_folder(out, arch):
    """An empty folder at `out`; an existing one is replaced only when it is empty or a product folder."""
    if os.path.lexists(out):
        if not os.path.isdir(out) or (os.listdir(out) and not os.path.exists(os.path.join(out, MAIN[arch]))):
            sys.exit(f"real_code_product: {out} exists and is no product folder; not replaced")
        shutil.rmtree(out)
    os.makedirs(out)


def write_folder(out, entries):
    for name, data in entries:
        path = os.path.join(out, *name.rstrip("/").split("/"))
        if name.endswith("/"):
            os.makedirs(path, exist_ok=True)
        else:
            with open(path, "wb") as f:
                f.write(data)
    # Dated last: writing a file changes its folder's time.
    stamp = (make_payload.STAND_IN_TIME, make_payload.STAND_IN_TIME)
    for folder, _, files in os.walk(out, topdown=False):
        for name in files:
            os.utime(os.path.join(folder, name), stamp)
        os.utime(folder, stamp)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--arch", choices=sorted(WINE_DLLS), required=True)
    ap.add_argument("--bin-dir", required=True, help="the compiled stand-in programs")
    ap.add_argument("--out", required=True)
    args = ap.parse_args()
    # The build puts its own uninstaller in the folder's place, so nothing here needs signing.
    make_payload.sign_programs = False
    fresh_folder(args.out, args.arch)  # refuses a wrong --out before any work
    stand_in = make_payload.build_entries(args.arch, args.bin_dir)
    entries, used = [], set()
    with tempfile.TemporaryDirectory() as stripped:
        pool = code_pool(args.arch, stripped)
        for name, data in stand_in:
            if name.lower().endswith((".exe", ".dll")):
                head = make_payload.read_program(os.path.join(args.bin_dir, name)) if name == MAIN[args.arch] else b""
                data = real_code(name, head, len(data), pool, used)
            entries.append((name, data))
    write_folder(args.out, entries)
    make_payload.checked_product(args.arch, args.out)  # stops, naming the problems, if the build would


if __name__ == "__main__":
    main()
