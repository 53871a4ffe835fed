#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds both deliverables and the tests, makes a fresh
# Wine prefix for each build in the build tree, runs every test of both builds under Wine and Xvfb.
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build

"$root/tools/install-deps.sh"
PT_BUILD_TARGET=all "$root/tools/build.sh" "$build" "$root/dist"

# The two builds' tests share no state: each runs in a prefix, wineserver and display of its own,
# side by side.
run_suite() {  # run_suite ARCH FIRST-DISPLAY
    (
        export WINE_ENV_DISPLAY_FROM=$2
        source "$root/tools/wine-env.sh"
        wine_env_start "$build/wineprefix-$1"
        trap wine_env_stop EXIT
        ctest --test-dir "$build/$1" --output-on-failure -j1 >"$build/ctest-$1.log" 2>&1
    )
}
status=0
run_suite x64 99 & x64_suite=$!
run_suite x86 150 & x86_suite=$!
wait $x64_suite || status=1
wait $x86_suite || status=1
: > "$build/test-summary.txt"
for arch in x64 x86; do
    cat "$build/ctest-$arch.log"
    grep -E 'tests passed, [0-9]+ tests failed out of' "$build/ctest-$arch.log" >> "$build/test-summary.txt" || status=1
done

"$root/tools/check-reproducible.sh" || status=1

# One closing line for both builds. CTest counts a skipped test among those that did not fail;
# here it is told apart (tests never run, the disabled ones, are in no count).
passed=0; failed=0; skipped=0
while read -r _pct _tests _passed nfailed _tests2 _failed _out _of total; do
    failed=$((failed + nfailed)); passed=$((passed + total - nfailed))
done < "$build/test-summary.txt"
for arch in x64 x86; do
    skipped=$((skipped + $(grep -c '\*\*\*Skipped' "$build/ctest-$arch.log" || true)))
done
passed=$((passed - skipped))
[ -f "$build/reproducible.ok" ] && passed=$((passed + 1)) || failed=$((failed + 1))
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] || status=1
exit $status
