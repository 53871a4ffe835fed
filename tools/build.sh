#!/usr/bin/env bash
# Builds both deliverables (and their tests) into build/x64 and build/x86, and copies the
# deliverables to dist/. Usage: tools/build.sh [build-folder [dist-folder]]
# PT_PRODUCT_DIR_X64 / PT_PRODUCT_DIR_X86 name the product folder each build packs; unset or
# empty, that build packs the stand-in payload. With PT_SIGN_PKCS12 and PT_SIGN_PASSWORD_FILE
# the deliverables in dist/ are Authenticode-signed (tools/sign.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
dist=${2:-$root/dist}
"$root/tools/fetch-minizip.sh" "$build/third_party/minizip"
for target in x86_64:x64 i686:x86; do
    triple=${target%%:*}
    arch=${target##*:}
    product_var=PT_PRODUCT_DIR_${arch^^}
    product=${!product_var:-}
    if [[ -n $product ]]; then
        [[ -d $product ]] || { echo "tools/build.sh: $product_var: $product is not a folder" >&2; exit 1; }
        product=$(cd "$product" && pwd)
    fi
    # The uninstaller inside the payload is signed as the payload is made: other signing settings
    # make the payload again.
    mkdir -p "$build/$arch"
    "$root/tools/sign.sh" --stamp "$build/$arch/signing-settings.txt"
    cmake -S "$root" -B "$build/$arch" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triple.cmake" \
        -DPT_MINIZIP_DIR="$build/third_party/minizip" -DPT_PRODUCT_DIR="$product" >/dev/null
    cmake --build "$build/$arch" -j "$(nproc)" ${PT_BUILD_TARGET:+--target "$PT_BUILD_TARGET"}
done
mkdir -p "$dist"
if [ -n "${PT_SIGN_PKCS12:-}" ]; then
    # A signed setup must not carry an unsigned uninstaller.
    for arch in x64 x86; do
        python3 -c 'import sys, zipfile; open(sys.argv[2], "wb").write(zipfile.ZipFile(sys.argv[1]).read("pt_uninstall.exe"))' \
            "$build/$arch/payload/pt_payload.zip" "$build/$arch/payload/pt_uninstall.check.exe"
        "$root/tools/sign.sh" --check "$build/$arch/payload/pt_uninstall.check.exe" \
            || { echo "tools/build.sh: the $arch payload's uninstaller is not signed by the key; refused" >&2; exit 1; }
    done
fi
cp "$build/x64/pt_setup64.exe" "$build/x86/pt_setup32.exe" "$dist/"
"$root/tools/sign.sh" "$dist/pt_setup64.exe" "$dist/pt_setup32.exe"
echo "Built: $dist/pt_setup64.exe $dist/pt_setup32.exe"
