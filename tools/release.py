#!/usr/bin/python3
"""The release step: writes the winget manifests of the built deliverables' version.

Reads the version from the version resources of dist/pt_setup64.exe and dist/pt_setup32.exe
(they must agree), takes the newest other version folder under
WINGET/manifests/z/ZorvanKettu/Pictarn/ as the pattern, and writes WINGET/manifests/.../<version>/
with that version, the given download addresses and each file's SHA-256. Then writes the version
into the README's "Deploying to many machines" section, where the detection rules name it.
It takes only signed deliverables of a product folder, and writes no version's manifests that
exist already. --dry-run takes unsigned and stand-in deliverables too, but writes only into a
winget folder and README other than the repository's own (a copy, as the suite makes).
Usage: release.py --x64-url URL --x86-url URL [--dist DIR] [--winget DIR] [--readme FILE] [--dry-run]"""
import argparse
import hashlib
import io
import os
import re
import sys
import zipfile

import pefile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools", "payload"))
from product_version import program_version  # noqa: E402  (the build reads the version the same way)
from payload_zip import entry_data  # noqa: E402
PACKAGE = os.path.join("manifests", "z", "ZorvanKettu", "Pictarn")
FILES = {"x64": "pt_setup64.exe", "x86": "pt_setup32.exe"}
DEPLOYING = "\n## Deploying to many machines\n"


def what_is_not_releasable(path, arch):
    """Why the deliverable at `path` is no release (unsigned, the stand-in), or an empty list."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    problems = []
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    if security.Size == 0:
        problems.append("unsigned")
    main = "pt_main64.exe" if arch == "x64" else "pt_main32.exe"
    kinds = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    for payload in (entry.directory.entries[0].data.struct for kind in kinds if str(kind.name) == "ZIP"
                    for entry in kind.directory.entries):
        zip_bytes = pe.get_data(payload.OffsetToData, payload.Size)
        with zipfile.ZipFile(io.BytesIO(zip_bytes)) as archive:
            names = {n.lower(): n for n in archive.namelist()}
            # The stand-in's main program says what it is in its version resource.
            if main in names and "Pictarn (stand-in)".encode("utf-16-le") in entry_data(zip_bytes, archive.getinfo(names[main])):
                problems.append("the stand-in payload, not a product folder's")
    return problems


def awaits_hashes(folder):
    """True while a version's manifests still hold the placeholder a first release fills in."""
    return any("SHA-256 of the published file here" in open(os.path.join(folder, name), encoding="utf-8").read()
               for name in os.listdir(folder))


def version_key(name):
    return tuple(int(part) for part in re.findall(r"\d+", name))


def rewrite(text, old, new, urls, hashes):
    """The pattern's text for the new version: its version, and per installer its address and hash."""
    out, arch = [], None
    for line in text.splitlines(keepends=True):
        found = re.match(r"^- Architecture: (\w+)", line)
        if found:
            arch = found.group(1)
        if line.strip().startswith("# Placeholder") or "SHA-256 of the published file here" in line:
            continue  # the placeholder's explanation goes with the placeholder
        line = re.sub(r'^(\s*(?:PackageVersion|DisplayVersion): )"[^"]*"', rf'\g<1>"{new}"', line)
        line = re.sub(rf"^(\s*- DisplayName: Pictarn ){re.escape(old)}( )", rf"\g<1>{new}\g<2>", line)
        if arch in urls:
            line = re.sub(r"^(\s*InstallerUrl: ).*$", lambda m: m.group(1) + urls[arch], line)
            line = re.sub(r'^(\s*InstallerSha256: ).*$', lambda m: f'{m.group(1)}"{hashes[arch]}"', line)
        out.append(line)
    return "".join(out)


def follow_version(readme, version):
    """Writes `version` wherever the README's deployment section names the one it was written for
    (the version its detection rule names); the old version, or None when it was already this one."""
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    start = text.index(DEPLOYING)
    end = text.find("\n## ", start + 1)
    end = len(text) if end < 0 else end
    section = text[start:end]
    old = re.search(r"`DisplayVersion` equals `([\d.]+)`", section).group(1)
    if old == version:
        return None
    section = re.sub(rf"(?<![\d.]){re.escape(old)}(?![\d]|\.\d)", version, section)
    with open(readme, "w", encoding="utf-8", newline="\n") as f:
        f.write(text[:start] + section + text[end:])
    return old


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--x64-url", required=True)
    ap.add_argument("--x86-url", required=True)
    ap.add_argument("--dist", default=os.path.join(ROOT, "dist"))
    ap.add_argument("--winget", default=os.path.join(ROOT, "packaging", "winget"))
    ap.add_argument("--readme", default=os.path.join(ROOT, "README.md"))
    ap.add_argument("--dry-run", action="store_true",
                    help="take unsigned or stand-in deliverables; write only into copies, never the repository's own")
    args = ap.parse_args()
    own = (os.path.join(ROOT, "packaging", "winget"), os.path.join(ROOT, "README.md"))
    if args.dry_run and any(os.path.realpath(given) == os.path.realpath(mine)
                            for given, mine in zip((args.winget, args.readme), own)):
        sys.exit("release: a dry run writes only into copies: give --winget and --readme outside the repository")
    urls = {"x64": args.x64_url, "x86": args.x86_url}
    for arch, url in urls.items():
        if not url.startswith("https://") or not url.endswith("/" + FILES[arch]):
            sys.exit(f"release: --{arch}-url must be an https address ending in /{FILES[arch]}: {url}")
    versions, hashes = set(), {}
    for arch, name in FILES.items():
        path = os.path.join(args.dist, name)
        if not os.path.isfile(path):
            sys.exit(f"release: {path} is missing; build the release first (tools/build.sh with both product "
                     "folders and the signing key)")
        problems = what_is_not_releasable(path, arch)
        if problems and not args.dry_run:
            sys.exit(f"release: {path} is {' and '.join(problems)}: no release; build it with both product folders "
                     "and the signing key (or try the step with --dry-run)")
        versions.add(program_version(path))
        with open(path, "rb") as f:
            hashes[arch] = hashlib.sha256(f.read()).hexdigest().upper()
    if len(versions) != 1:
        sys.exit(f"release: the two deliverables carry different versions: {sorted(versions)}")
    version = versions.pop()
    package = os.path.join(args.winget, PACKAGE)
    patterns = sorted((v for v in os.listdir(package) if v != version), key=version_key)
    pattern = patterns[-1] if patterns else version  # a first release of a version rewrites its own
    target = os.path.join(package, version)
    if os.path.isdir(target) and not args.dry_run and not awaits_hashes(target):
        sys.exit(f"release: {target} holds a published version's hashes: its manifests are written once "
                 "(remove the folder to write them again)")
    os.makedirs(target, exist_ok=True)
    for name in sorted(os.listdir(os.path.join(package, pattern))):
        with open(os.path.join(package, pattern, name), encoding="utf-8") as f:
            text = rewrite(f.read(), pattern, version, urls, hashes)
        with open(os.path.join(target, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
    print(f"release: {target} written for version {version} from {pattern}: "
          + ", ".join(f"{arch} {hashes[arch]}" for arch in FILES))
    old = follow_version(args.readme, version)
    print(f"release: {args.readme}: deployment section " + (f"now names {version} (was {old})" if old else
                                                            f"already names {version}"))


if __name__ == "__main__":
    main()
