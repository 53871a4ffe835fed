#!/usr/bin/python3
"""The release step: writes the winget manifests of the built deliverables' version.

Reads the version from the version resources of dist/pt_setup64.exe and dist/pt_setup32.exe
(they must agree), takes the newest other version folder under
WINGET/manifests/z/ZorvanKettu/Pictarn/ as the pattern, and writes WINGET/manifests/.../<version>/
with that version, the given download addresses and each file's SHA-256. Then writes the version
into the README's "Deploying to many machines" section, where the detection rules name it.
Usage: release.py --x64-url URL --x86-url URL [--dist DIR] [--winget DIR] [--readme FILE]"""
import argparse
import hashlib
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools", "payload"))
from product_version import program_version  # noqa: E402  (the build reads the version the same way)
PACKAGE = os.path.join("manifests", "z", "ZorvanKettu", "Pictarn")
FILES = {"x64": "pt_setup64.exe", "x86": "pt_setup32.exe"}
DEPLOYING = "\n## Deploying to many machines\n"


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
    args = ap.parse_args()
    urls = {"x64": args.x64_url, "x86": args.x86_url}
    for arch, url in urls.items():
        if not url.startswith("https://") or not url.endswith("/" + FILES[arch]):
            sys.exit(f"release: --{arch}-url must be an https address ending in /{FILES[arch]}: {url}")
    versions, hashes = set(), {}
    for arch, name in FILES.items():
        path = os.path.join(args.dist, name)
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
