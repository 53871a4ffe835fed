#!/usr/bin/env python3
"""Where the bytes of a built setup go, besides its payload: sections, the padding that puts the
resource section on a page, the resources, the imports, and the largest libraries and functions
(read from the link map the build writes beside the program).

Usage: stub_size.py BUILD-FOLDER [BUILD-FOLDER ...]    (e.g. build/x64 build/x86)
"""
import collections
import glob
import os
import re
import sys

import pefile

TOP = 12


def map_items(path):
    """(size, section kind, input section, library or object) of every input section placed."""
    items, pending = [], None
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.match(r"^ (\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+)", line)
            if not m:
                lone = re.match(r"^ (\.\S+)$", line)
                more = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+)", line)
                if lone:
                    pending = lone.group(1)
                    continue
                if not (more and pending):
                    continue
                m = (pending, more.group(1), more.group(2), more.group(3))
                pending = None
            else:
                m = m.groups()
            name, address, size, source = m[0], int(m[1], 16), int(m[2], 16), m[3]
            kind = re.match(r"\.([a-z]+)", name)
            if size and address and kind and kind.group(1) in ("text", "rdata", "data", "idata", "pdata", "xdata"):
                library = os.path.basename(source.split("(")[0])
                items.append((size, kind.group(1), name, library if "(" not in source else f"{library}({source.split('(')[1]}"))
    return items


def report(build):
    exe = glob.glob(os.path.join(build, "pt_setup??.exe"))[0]
    pe = pefile.PE(exe)
    total = os.path.getsize(exe)
    resources = collections.Counter()
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        label = str(kind.name) if kind.name else pefile.RESOURCE_TYPE.get(kind.id, kind.id)
        for entry in kind.directory.entries:
            for language in entry.directory.entries:
                resources[label] += language.data.struct.Size
    payload = resources.pop("ZIP")
    print(f"## {os.path.basename(exe)}: {total:,} bytes, payload {payload:,}, stub {total - payload:,}\n")
    print("| Part of the file | Bytes |\n|---|---:|")
    print(f"| Headers | {pe.sections[0].PointerToRawData:,} |")
    end = pe.sections[0].PointerToRawData
    for section in pe.sections:
        if section.SizeOfRawData == 0:
            continue
        name = section.Name.rstrip(b"\0").decode()
        if section.PointerToRawData > end:
            print(f"| Padding: the resource section starts on a page | {section.PointerToRawData - end:,} |")
        used = section.Misc_VirtualSize
        if name == ".rsrc":
            print(f"| .rsrc without the payload: {', '.join(f'{k} {v:,}' for k, v in resources.most_common())} "
                  f"(with the directory and alignment) | {section.SizeOfRawData - payload:,} |")
        else:
            print(f"| {name} ({used:,} used, the rest the 512-byte file alignment) | {section.SizeOfRawData:,} |")
        end = section.PointerToRawData + section.SizeOfRawData
    imports = sum(len(d.imports) for d in pe.DIRECTORY_ENTRY_IMPORT)
    print(f"\nImports bound at load time: {imports} functions from {len(pe.DIRECTORY_ENTRY_IMPORT)} libraries.\n")
    items = map_items(glob.glob(os.path.join(build, "pt_setup??.map"))[0])
    libraries = collections.Counter()
    for size, kind, _, source in items:
        libraries[source.split("(")[0]] += size
    print("| Library or object (code, data, tables) | Bytes |\n|---|---:|")
    for name, size in libraries.most_common(TOP):
        print(f"| {name} | {size:,} |")
    print("\n| Largest functions and tables | Kind | Bytes |\n|---|---|---:|")
    for size, kind, name, source in sorted(items, reverse=True)[:TOP]:
        print(f"| `{name.split('$', 1)[-1][:60]}` ({source.split('(')[-1].rstrip(')')}) | {kind} | {size:,} |")
    print()


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    for build in sys.argv[1:]:
        report(build)


if __name__ == "__main__":
    main()
