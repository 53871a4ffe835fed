#!/usr/bin/env bash
# Times our silent 64-bit install against NSIS installers doing the same work, all under
# Wine, and writes build/bench/results.md: the times against the NSIS lzma (not solid) peer
# and the zlib one, and the sizes against NSIS with zlib, lzma and solid lzma, for the
# stand-in payload and for a product folder of real machine code (real_code_product.py).
# One command, run as root:
#     tools/bench/run.sh            (BENCH_PAIRS=21 rounds, each running every installer once)
# BENCH_CPU=N runs Wine (server, services and the installers) on core N alone: on a virtual
# machine a request to the Wine server that wakes another core costs several times one that
# stays on the same core, and which core the server wakes on varies from run to run.
# Everything it makes stays under build/bench and build/bench-real; it stops only the Wine and
# X processes it started.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tools/bench
bench=$root/build/bench
real=$root/build/bench-real
pairs=${BENCH_PAIRS:-21}
pin=()
[ -n "${BENCH_CPU:-}" ] && pin=(taskset -c "$BENCH_CPU")

# Tools: the project's toolchain (with 7-Zip), plus NSIS and hyperfine.
"$root/tools/install-deps.sh"
missing=()
for p in nsis hyperfine; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Our deliverable, built apart from the main build folders so as not to disturb them.
PT_BUILD_TARGET=pt_setup "$root/tools/build.sh" "$bench" "$bench/dist"
ours=$bench/x64/pt_setup64.exe
zip=$bench/x64/payload/pt_payload.zip
# The same program with its stage clock, for the breakdown of where the time goes.
cmake -S "$root" -B "$bench/x64-stages" -DCMAKE_BUILD_TYPE=Release -DPT_STAGE_TIMES=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64.cmake" \
    -DPT_LIBLZMA_DIR="$bench/third_party/liblzma" >/dev/null
cmake --build "$bench/x64-stages" -j "$(nproc)" --target pt_setup
stages=$bench/x64-stages/pt_setup64.exe

# The same deliverable from product folders of real machine code, made from the stand-in's
# compiled programs; both arches, as tools/build.sh builds both and checks they share a version.
for arch in x64 x86; do
    python3 "$here/real_code_product.py" --arch "$arch" --bin-dir "$bench/$arch/tools/payload/bin" \
        --out "$real/product-$arch"
done
# liblzma's sources are fetched once, for both builds (whole or not at all, as fetch-liblzma.sh does).
if [ ! -f "$real/third_party/liblzma/liblzma/api/lzma.h" ]; then
    mkdir -p "$real/third_party"
    rm -rf "$real/third_party/liblzma.partial"
    cp -r "$bench/third_party/liblzma" "$real/third_party/liblzma.partial"
    rm -rf "$real/third_party/liblzma"
    mv "$real/third_party/liblzma.partial" "$real/third_party/liblzma"
fi
PT_BUILD_TARGET=pt_setup PT_PRODUCT_DIR_X64="$real/product-x64" PT_PRODUCT_DIR_X86="$real/product-x86" \
    "$root/tools/build.sh" "$real" "$real/dist"

# NSIS peers of each payload with each compressor, and empty scripts with the same settings
# to size NSIS's own overhead.
nsisdir=$(makensis -HDRINFO | sed -n 's/.*NSISDIR=\([^,]*\).*/\1/p')
target=x86-unicode
[ -f "$nsisdir/Stubs/zlib-amd64-unicode" ] && target=amd64-unicode
compressors=(zlib lzma lzma-solid)
nsis_peers() {  # payload ZIP, output folder
    mkdir -p "$2"
    for c in "${compressors[@]}"; do
        python3 "$here/gen_nsis.py" --zip "$1" --stage "$2/payload" --target "$target" --compressor "$c" \
            --out "$2/peer-$c.nsi" --exe "$2/peer-$c.exe"
        makensis -V2 "$2/peer-$c.nsi"
    done
    rm -rf "$2/payload"
}
nsis_peers "$zip" "$bench/nsis"
nsis_peers "$real/x64/payload/pt_payload.zip" "$real/nsis"
for c in "${compressors[@]}"; do
    python3 "$here/gen_nsis.py" --zip "$zip" --stage "$bench/nsis/payload" --target "$target" --compressor "$c" \
        --empty --out "$bench/nsis/empty-$c.nsi" --exe "$bench/nsis/empty-$c.exe"
    makensis -V2 "$bench/nsis/empty-$c.nsi"
done
python3 "$here/sizes.py" --out "$bench/sizes.md" --stubs "$bench/nsis/empty" \
    --payload stand-in "$ours" "$zip" "$bench/nsis/peer" \
    --payload "real code" "$real/x64/pt_setup64.exe" "$real/x64/payload/pt_payload.zip" "$real/nsis/peer"

x86_64-w64-mingw32-gcc -O2 -s -mwindows -o "$bench/idle.exe" "$here/idle.c"

# A prefix of our own with its own display. Only this prefix's wineserver and our own
# Xvfb are stopped at the end: other Wine work may be running on this machine.
export WINEPREFIX=$bench/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=winemenubuilder.exe=d
wine64=/usr/lib/wine/wine64
xvfb_pid=
idle_pid=
cleanup() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    [ -n "$idle_pid" ] && wait "$idle_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# Start above the numbers the test scripts take, and step on if another Xvfb wins the race.
display=150
while :; do
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    kill -0 "$xvfb_pid" 2>/dev/null && break
    display=$((display + 1))
done
export DISPLAY=":$display"

/usr/lib/wine/wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
"${pin[@]}" /usr/lib/wine/wineserver -p
"${pin[@]}" "$wine64" wineboot -i >/dev/null 2>&1 </dev/null
# Wine links Desktop, Documents and the like to the Linux home folder; shortcuts must land
# inside the prefix instead.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm -- "$link" && mkdir -- "$link"; fi
done
"$wine64" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1 </dev/null
# Windows has this key; a fresh Wine prefix does not.
"$wine64" reg add 'HKLM\SOFTWARE\RegisteredApplications' /f >/dev/null 2>&1 </dev/null
# Keeps Wine's desktop process and services up between the runs.
"${pin[@]}" "$wine64" "$bench/idle.exe" /wait </dev/null >/dev/null 2>&1 &
idle_pid=$!
"$wine64" "$bench/idle.exe" </dev/null >/dev/null 2>&1

status=0
"${pin[@]}" python3 "$here/measure.py" --cores "${BENCH_CPU:-all}" --ours "$ours" --stages "$stages" \
    --nsis "$bench/nsis/peer-lzma.exe" --nsis-zlib "$bench/nsis/peer-zlib.exe" --nsis-target "$target" \
    --idle "$bench/idle.exe" --zip "$zip" --workdir "$bench" --out "$bench/results.md" --pairs "$pairs" \
    --sizes "$bench/sizes.md" || status=$?
exit $status
