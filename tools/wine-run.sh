#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest: "wine-run.sh 64|32 program args...".
# The test run (tools/test.sh) sets up WINEPREFIX, DISPLAY and a persistent wineserver.
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
bits=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
# Debian's "wine" starts 64-bit programs through its 32-bit loader; wine64 runs them directly.
if [ "$bits" = 64 ]; then
    exec /usr/lib/wine/wine64 "$@"
fi
exec /usr/lib/wine/wine "$@"
