#!/bin/bash
# Builds everything and runs every test: host (sanitizers), fuzzing, and the Win32
# and end-to-end tests under Wine on a virtual display. Exits non-zero on any failure.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/tools/setup.sh" || exit 1

for preset in host fuzz win32; do
    cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" -j "$(nproc)" >"build-$preset.log" 2>&1 || {
        tail -n 40 "build-$preset.log"
        echo "build of $preset failed (see build-$preset.log)" >&2
        exit 1
    }
    rm -f "build-$preset.log"
done

. "$root/tools/winenv.sh"
trap wine_env_stop EXIT
wine_env_start

passed=0 failed=0 status=0
for preset in host fuzz win32; do
    echo "== $preset tests"
    out="$QF_RUN_DIR/ctest-$preset.log"
    # Verbose into the log; shown: each result, the figures the tests print, and failures.
    ctest --preset "$preset" -j "$(nproc)" -V >"$out" 2>&1 || {
        status=1
        grep -E -A 12 'Failure|FAIL:|ERROR:|Error|==ERROR' "$out" | head -n 150
    }
    grep -E 'Test +#[0-9]+: |stat::number_of_executed_units|keyed paints|start to tray icon|tests passed|Total Test time' "$out" |
        sed -E 's/^[0-9]+: //'
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$out")
    [ -n "$summary" ] || { status=1; continue; }
    total=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
    bad=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done
echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status
