#!/usr/bin/env bash
# Screenshots of the five wizard pages of the 64-bit build at 96, 144 and 192 DPI, title bar
# included, as PNG files in <build>/screenshots/<dpi>/; the 96-DPI set is copied to docs/wizard/
# for the README. <build> is $PT_BUILD_DIR, else build/. Run after tools/test.sh (or PT_BUILD_TARGET=all tools/build.sh); needs
# ImageMagick and fonts-liberation (installed here when missing) and Debian's fonts-wine
# (unpacked into <build>/fonts-wine/, not installed).
#
# Wine has none of the fonts the wizard names, and its stand-in is wider, so texts that fit on
# Windows would be cut. The screenshot prefix, and only it, gets fonts with the widths Windows
# uses:
# - "Microsoft Sans Serif" (the pages; on Windows also "MS Shell Dlg", the sheet's buttons) is
#   drawn with Wine's "MS Sans Serif", a bitmap font with the widths of the one Microsoft Sans
#   Serif was made to match (at 144 DPI Wine takes its nearest size). Liberation Sans (the
#   widths of Arial) is 3-5 % wider at 8 points and cuts two texts.
# - "Arial" (the headlines) is drawn with Liberation Sans.
# - Wine's Tahoma and Marlett draw the title bar and its buttons.
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${PT_BUILD_DIR:-$root/build}" && pwd)
install_missing() {  # package, then a file that shows it is installed
    [ -e "$2" ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$1" >/dev/null
}
install_missing imagemagick /usr/bin/convert
install_missing fonts-liberation /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
wine_fonts=$build/fonts-wine/usr/share/wine/fonts
if [ ! -e "$wine_fonts/sserife.fon" ]; then
    rm -rf "$build/fonts-wine" && mkdir -p "$build/fonts-wine"
    (cd "$build/fonts-wine" && { apt-get download fonts-wine >/dev/null 2>&1 ||
        { apt-get update -qq && apt-get download fonts-wine >/dev/null; }; })
    dpkg-deb -x "$build"/fonts-wine/fonts-wine_*.deb "$build/fonts-wine"
fi
source "$root/tools/wine-env.sh"
wine=/usr/lib/wine/wine64
for dpi in ${PT_SCREENSHOT_DPIS:-96 144 192}; do
    out=$build/screenshots/$dpi
    rm -rf "$out" && mkdir -p "$out"
    # At 192 DPI the sheet is about 1000 pixels high, and "MS Sans Serif" has no bitmap of
    # that scale (Wine would draw the 144-DPI size): Liberation Sans, scalable, draws the pages.
    dialog_font='MS Sans Serif' desktop=1024x768
    [ "$dpi" -ge 192 ] && dialog_font='Liberation Sans' desktop=1400x1150
    WINE_ENV_SCREEN=1600x1200 wine_env_start "$build/screenshot-prefix"
    cp "$wine_fonts"/{sserife.fon,sseriff.fon,tahoma.ttf,tahomabd.ttf,marlett.ttf} "$WINEPREFIX/drive_c/windows/Fonts/"
    $wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    $wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v 'MS Shell Dlg' /d 'Microsoft Sans Serif' /f >/dev/null 2>&1
    $wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft Sans Serif' /d "$dialog_font" /f >/dev/null 2>&1
    $wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1
    # The display has no window manager to draw title bars; on a desktop of its own, Wine draws
    # the windows whole, title bar included.
    PT_SCREENSHOT_DIR="Z:${out//\//\\}" $wine explorer /desktop=screenshots,$desktop "$build/x64/pt_tests64.exe" \
        --gtest_also_run_disabled_tests --gtest_filter='Wizard.DISABLED_Screenshots' >/dev/null || true
    wine_env_stop
    # The desktop's exit code is not the test's: count the pictures instead.
    shots=$(find "$out" -name '*.bmp' | wc -l)
    if [ "$shots" -ne 5 ]; then
        echo "wizard-screenshots: $shots of 5 pictures at $dpi DPI" >&2
        exit 1
    fi
    # Without dates in the files, an unchanged picture gives an unchanged file.
    for bmp in "$out"/*.bmp; do
        /usr/bin/convert "$bmp" -strip -define png:exclude-chunks=date,time "${bmp%.bmp}.png" && rm "$bmp"
    done
done
mkdir -p "$root/docs/wizard"
cp "$build"/screenshots/96/*.png "$root/docs/wizard/"
echo "Screenshots: $build/screenshots/{96,144,192}, copied the 96-DPI set to docs/wizard/"
