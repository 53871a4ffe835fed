#!/usr/bin/env bash
# Builds both deliverables into build/x64 and build/x86 and copies them to dist/ (the tests are
# built by tools/test.sh, or with PT_BUILD_TARGET=all). Usage: tools/build.sh [build-folder [dist-folder]]
# PT_PRODUCT_DIR_X64 / PT_PRODUCT_DIR_X86 name the product folder each build packs; unset or
# empty, that build packs the stand-in payload. PT_PAYLOAD_DATE=YYYY-MM-DDTHH:MM:SS dates every
# entry of a product folder alike (else each file's modification time, in UTC). PT_VERSION=major.minor
# names the product's version (else the product folder's main program's, else 4.58);
# PT_RELEASE_NOTES names this version's release notes (else res/release_notes.txt, or for the
# stand-in tools/payload/release_notes.txt). With a signing key
# (PT_SIGN_PKCS12 and PT_SIGN_PASSWORD_FILE, or a PKCS#11 key: see tools/sign.sh)
# the deliverables in dist/ are Authenticode-signed (tools/sign.sh).
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
dist=${2:-$root/dist}
# A build that fails leaves no deliverable of an earlier one behind to be taken for its own, nor
# a copy an earlier run was stopped making.
rm -f "$dist/pt_setup64.exe" "$dist/pt_setup32.exe" "$dist/.pt_setup64.exe.partial" "$dist/.pt_setup32.exe.partial"
# A release (PT_RELEASE=1, or any signing key) ships the product, never the stand-in.
signing=unsigned
"$root/tools/sign.sh" --given && signing=signed
if [[ ${PT_RELEASE:-} == 1 || $signing == signed ]]; then
    missing=()
    for var in PT_PRODUCT_DIR_X64 PT_PRODUCT_DIR_X86; do [[ -n ${!var:-} ]] || missing+=("$var"); done
    if [[ ${#missing[@]} -gt 0 ]]; then
        echo "tools/build.sh: a release build packs the product folders, not the stand-in; set ${missing[*]}" >&2
        exit 1
    fi
fi
# A wrong password or a missing key file is named now, not after the compiling.
"$root/tools/sign.sh" --ready
# Both product folders are checked before anything is compiled (each build checks its own again
# when it configures), and must hold one version.
mains=()
for arch in x64 x86; do
    product_var=PT_PRODUCT_DIR_${arch^^}
    [[ -n ${!product_var:-} ]] || continue
    python3 "$root/tools/payload/make_payload.py" --check --arch "$arch" --product-dir "${!product_var}" || exit 1
    main_name=pt_main64.exe; [[ $arch == x86 ]] && main_name=pt_main32.exe
    mains+=("$(find "${!product_var}" -maxdepth 1 -iname "$main_name" | head -1)")
done
if [[ ${#mains[@]} == 2 && -z ${PT_VERSION:-} ]]; then
    versions=()
    for main in "${mains[@]}"; do versions+=("$(/usr/bin/python3 "$root/tools/payload/product_version.py" "$main")") || exit 1; done
    [[ ${versions[0]} == "${versions[1]}" ]] || { echo "tools/build.sh: the product folders hold two versions," \
        "${versions[0]} (PT_PRODUCT_DIR_X64) and ${versions[1]} (PT_PRODUCT_DIR_X86); both builds ship one" >&2; exit 1; }
fi
"$root/tools/fetch-liblzma.sh" "$build/third_party/liblzma"
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
        -DPT_LIBLZMA_DIR="$build/third_party/liblzma" -DPT_PRODUCT_DIR="$product" \
        -DPT_PAYLOAD_DATE="${PT_PAYLOAD_DATE:-}" -DPT_VERSION="${PT_VERSION:-}" \
        -DPT_RELEASE_NOTES="${PT_RELEASE_NOTES:-}" >/dev/null
    cmake --build "$build/$arch" -j "$(nproc)" --target "${PT_BUILD_TARGET:-pt_setup}"
done
if [[ $signing == signed ]]; then
    # A signed setup must not carry an unsigned uninstaller.
    for arch in x64 x86; do
        python3 "$root/tools/payload/payload_zip.py" "$build/$arch/payload/pt_payload.zip" pt_uninstall.exe \
            "$build/$arch/payload/pt_uninstall.check.exe"
        "$root/tools/sign.sh" --check "$build/$arch/payload/pt_uninstall.check.exe" \
            || { echo "tools/build.sh: the $arch payload's uninstaller is not signed by the key; refused" >&2; exit 1; }
    done
fi
"$root/tools/deliver.sh" "$build" "$dist"
echo "Built: $dist/pt_setup64.exe $dist/pt_setup32.exe"
# Debian's Python, which has pefile (tools/install-deps.sh), as the build itself uses.
/usr/bin/python3 "$root/tools/build_summary.py" "$build" "$dist" "$signing"
