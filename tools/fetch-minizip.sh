#!/usr/bin/env bash
# Puts minizip's unzip sources from Debian's zlib source package into $1 (once).
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
dest=$1
files=(unzip.c unzip.h ioapi.c ioapi.h iowin32.c iowin32.h crypt.h)
if [ -f "$dest/iowin32.c" ]; then exit 0; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source --download-only zlib >/dev/null 2>&1)
orig=$(ls "$work"/zlib_*.orig.tar.* | head -n 1)
mkdir -p "$dest"
tar -xf "$orig" -C "$work" --wildcards '*/contrib/minizip/*'
for f in "${files[@]}"; do cp "$work"/*/contrib/minizip/"$f" "$dest/"; done
