#!/usr/bin/env bash
# Puts liblzma's sources from Debian's xz-utils source package, with Debian's patches applied,
# into $1 (once): src/liblzma and src/common as the package has them.
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
dest=$1
if [ -f "$dest/liblzma/api/lzma.h" ]; then exit 0; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source --download-only xz-utils >/dev/null 2>&1)
dpkg-source --no-check -x "$work"/xz-utils_*.dsc "$work/xz" >/dev/null
mkdir -p "$dest.partial"
cp -r "$work/xz/src/liblzma" "$work/xz/src/common" "$dest.partial/"
rm -rf "$dest"
mv "$dest.partial" "$dest"  # whole or not at all
