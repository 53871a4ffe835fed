#!/usr/bin/env bash
# Puts the two setup programs of a build into the dist folder, signed when a signing key is given
# (tools/sign.sh). They are copied and signed in the build tree first and each reaches the dist
# folder complete, by a rename within it: a run stopped at any point (a cancelled CI job during
# the PIN prompt, say) leaves no unsigned or half-written deliverable there.
# Usage: tools/deliver.sh <build folder> <dist folder>
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
dist=$2
programs=(x64/pt_setup64.exe x86/pt_setup32.exe)
stage=$(mktemp -d "$build/delivery.XXXXXX")
trap 'rm -rf "$stage"' EXIT
trap 'exit 1' INT TERM
for program in "${programs[@]}"; do cp "$build/$program" "$stage/"; done
"$root/tools/sign.sh" "$stage"/*.exe
mkdir -p "$dist"
for program in "${programs[@]}"; do
    name=$(basename "$program")
    cp "$stage/$name" "$dist/.$name.partial"
    mv -f "$dist/.$name.partial" "$dist/$name"
done
