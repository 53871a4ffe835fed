#!/usr/bin/env bash
# The long run of the generated-input checks (the switch reader, the path helpers and changed
# archives, one for every 40 rounds), for
# both builds (the suite runs a 20,000-round slice). Usage: tools/fuzz.sh [rounds]
# Run after tools/test.sh (or PT_BUILD_TARGET=all tools/build.sh), which builds the test programs;
# each round checks seven generated texts.
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-150000}
source "$root/tools/wine-env.sh"
wine_env_start "$root/build/fuzz-prefix"
trap wine_env_stop EXIT
export PT_FUZZ_ITERATIONS=$rounds
/usr/lib/wine/wine64 "$root/build/x64/pt_tests64.exe" --gtest_filter='Fuzz.*'
/usr/lib/wine/wine "$root/build/x86/pt_tests32.exe" --gtest_filter='Fuzz.*'
