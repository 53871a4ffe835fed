#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds both deliverables and the tests, makes a fresh
# Wine prefix in the build tree, runs every test of both builds under Wine and Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build

"$root/tools/install-deps.sh"
# The reproducibility check's second build takes each deflated entry from the first instead of
# running zopfli again on the same bytes (checked by inflating it back).
export PT_DEFLATE_CACHE=$build/deflate-cache
PT_BUILD_TARGET=all "$root/tools/build.sh" "$build" "$root/dist"

source "$root/tools/wine-env.sh"
wine_env_start "$build/wineprefix"
trap wine_env_stop EXIT

status=0
: > "$build/test-summary.txt"
for arch in x64 x86; do
    ctest --test-dir "$build/$arch" --output-on-failure -j1 2>&1 | tee "$build/ctest-$arch.log" || status=1
    grep -E 'tests passed, [0-9]+ tests failed out of' "$build/ctest-$arch.log" >> "$build/test-summary.txt" || status=1
done

"$root/tools/check-reproducible.sh" || status=1

# One closing line for both builds.
passed=0; failed=0
while read -r _pct _tests _passed nfailed _tests2 _failed _out _of total; do
    failed=$((failed + nfailed)); passed=$((passed + total - nfailed))
done < "$build/test-summary.txt"
[ -f "$build/reproducible.ok" ] && passed=$((passed + 1)) || failed=$((failed + 1))
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status
