#!/usr/bin/env bash
# The main job: builds both deliverables into dist/, then installs the 64-bit build silently
# into a fresh Wine prefix and shows what it installed.
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
PT_BUILD_TARGET=pt_setup "$root/tools/build.sh" "$root/build" "$root/dist"

source "$root/tools/wine-env.sh"
wine_env_start "$root/build/demo-prefix"
trap wine_env_stop EXIT

start=$(mktemp -d)
cd "$start"
set +e
/usr/lib/wine/wine64 "$root/dist/pt_setup64.exe" /silent '/folder=C:\Program Files\Pictarn'
code=$?
set -e
drive_c=$WINEPREFIX/drive_c
echo "== pt_setup64.exe /silent exited with $code"
echo "== Installed files (C:\\Program Files\\Pictarn):"
(cd "$drive_c/Program Files/Pictarn" && find . -type f -printf '%10s  %TY-%Tm-%Td %TH:%TM  %p\n' | sort -k4)
settings=$(find "$drive_c/users" -path '*Roaming/Pictarn/pt_main64.ini' | head -n 1)
echo "== Settings pointer in the installation folder (pt_main64.ini):"
cat "$drive_c/Program Files/Pictarn/pt_main64.ini"
echo "== Settings in the user's application-data folder (${settings#"$drive_c"/}, UTF-16):"
iconv -f UTF-16 -t UTF-8 "$settings"
if [ -f "$start/Pictarn_Install.log" ]; then
    echo "== Install log:"
    cat "$start/Pictarn_Install.log"
else
    echo "== No install log: nothing failed."
fi
