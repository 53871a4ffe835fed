#!/usr/bin/env bash
# Builds both deliverables a second time in a separate tree and compares them byte for byte
# with dist/. Leaves build/reproducible.ok when they are identical.
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
second=$root/build/repro
rm -f "$root/build/reproducible.ok"
rm -rf "$second"
"$root/tools/build.sh" "$second" "$second/dist" >/dev/null
for exe in pt_setup64.exe pt_setup32.exe; do
    if ! cmp "$root/dist/$exe" "$second/dist/$exe"; then
        echo "reproducible: $exe differs between two builds"
        exit 1
    fi
    echo "reproducible: $exe identical in two builds ($(sha256sum < "$root/dist/$exe" | cut -c1-16))"
done
touch "$root/build/reproducible.ok"
