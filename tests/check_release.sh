#!/usr/bin/env bash
# The release step on the built deliverables, refused for them (unsigned, the stand-in), then as a
# dry run into a copy of the winget folder and of a README written for the version before: the manifests it writes pass the manifest check, each
# installer's address and SHA-256 are the given address and the file's own hash, and the README's
# deployment section reads as it does for the built version. Usage: check_release.sh DIST
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -a "$root/packaging/winget" "$tmp/winget"
version=$(/usr/bin/python3 "$root/tools/payload/product_version.py" "$dist/pt_setup64.exe")
grep -q "equals \`$version\`" "$root/README.md" || { echo "README's detection rule does not name $version"; exit 1; }
sed "/^## Deploying/,/^## Layout/s/$version/3.21/g" "$root/README.md" >"$tmp/README.md"
release() {
    /usr/bin/python3 "$root/tools/release.py" --dist "$dist" --winget "$tmp/winget" --readme "$tmp/README.md" \
        --x64-url https://example.org/r/pt_setup64.exe --x86-url https://example.org/r/pt_setup32.exe "$@"
}
# The suite's deliverables are unsigned and carry the stand-in: no release, and nothing written.
said=$(release 2>&1) && { echo "release.py took the stand-in: $said"; exit 1; }
[[ $said == *unsigned*stand-in* ]] || { echo "release.py did not say why: $said"; exit 1; }
diff -r "$root/packaging/winget" "$tmp/winget" >/dev/null || { echo "a refused release wrote manifests"; exit 1; }
# A dry run takes them, and writes into the copies only.
release --dry-run
cmp -s "$root/README.md" "$tmp/README.md" || { diff "$root/README.md" "$tmp/README.md"; exit 1; }
/usr/bin/python3 "$root/tests/check_winget.py" "$tmp/winget" --readme "$tmp/README.md" --program "$dist/pt_setup64.exe" \
    --program "$dist/pt_setup32.exe" >"$tmp/check.txt" || { cat "$tmp/check.txt"; exit 1; }
! grep -q "placeholder" "$tmp/check.txt" || { echo "a placeholder hash is left"; exit 1; }
/usr/bin/python3 - "$tmp/winget" "$dist" <<'PY'
import glob, hashlib, os, sys, yaml
winget, dist = sys.argv[1:]
[path] = glob.glob(os.path.join(winget, "manifests", "**", "*.installer.yaml"), recursive=True)
for entry in yaml.safe_load(open(path, encoding="utf-8"))["Installers"]:
    exe = "pt_setup64.exe" if entry["Architecture"] == "x64" else "pt_setup32.exe"
    want = hashlib.sha256(open(os.path.join(dist, exe), "rb").read()).hexdigest()
    assert entry["InstallerSha256"].lower() == want, (exe, entry["InstallerSha256"], want)
    assert entry["InstallerUrl"] == "https://example.org/r/" + exe, entry["InstallerUrl"]
print("release step: manifests valid, addresses given, hashes of", dist)
PY
