#!/usr/bin/env bash
# Screenshots of the five wizard pages of the 64-bit build at 96 and 144 DPI, as PNG files in
# build/screenshots/<dpi>/; the 96-DPI set is copied to docs/wizard/ for the README.
# Run after tools/build.sh; needs ImageMagick (installed here when missing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
command -v /usr/bin/convert >/dev/null 2>&1 || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq imagemagick >/dev/null
source "$root/tools/wine-env.sh"
for dpi in 96 144; do
    out=$root/build/screenshots/$dpi
    rm -rf "$out" && mkdir -p "$out"
    wine_env_start "$root/build/screenshot-prefix"
    /usr/lib/wine/wine64 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    PT_SCREENSHOT_DIR="Z:${out//\//\\}" /usr/lib/wine/wine64 "$root/build/x64/pt_tests64.exe" \
        --gtest_also_run_disabled_tests --gtest_filter='Wizard.DISABLED_Screenshots' >/dev/null
    wine_env_stop
    for bmp in "$out"/*.bmp; do /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"; done
done
mkdir -p "$root/docs/wizard"
cp "$root"/build/screenshots/96/*.png "$root/docs/wizard/"
echo "Screenshots: $root/build/screenshots/{96,144}, copied the 96-DPI set to docs/wizard/"
