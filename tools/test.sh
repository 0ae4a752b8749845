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
logs=$(mktemp -d /tmp/quilmaren-logs.XXXXXX)
skipped=0 wine_filter=()
if wine_usable; then
    trap 'wine_env_stop; rm -rf "$logs"' EXIT
    wine_env_start
else
    trap 'rm -rf "$logs"' EXIT
    skipped=$(ctest --preset win32 -N -L wine | grep -c 'Test *#')
    wine_filter=(-LE wine)
    echo "Wine cannot start here: this kernel runs no 32-bit programs (ia32 emulation is off)."
    echo "The $skipped Win32 and end-to-end tests are skipped; everything else runs."
fi

# Verbose into a log; shown: each result, the figures the tests print, and failures.
run_tests() {
    ctest --preset "$1" -j "$(nproc)" -V "${@:2}" >"$logs/$1.log" 2>&1
    echo $? >"$logs/$1.rc"
}
run_tests host
run_tests fuzz & # one core for 30 s, beside the Win32 tests, which mostly wait on Wine
fuzzing=$!
run_tests win32 "${wine_filter[@]}"
wait "$fuzzing"

passed=0 failed=0 status=0
for preset in host fuzz win32; do
    echo "== $preset tests"
    out="$logs/$preset.log"
    [ "$(cat "$logs/$preset.rc")" = 0 ] || {
        status=1
        grep -E -A 12 'Failure|FAIL:|ERROR:|Error|DIFFERS|==ERROR' "$out" | head -n 150
    }
    grep -E 'Test +#[0-9]+: |stat::number_of_executed_units|keyed paints|open-close cycles|start to tray icon|two builds match|tests passed|Total Test time' "$out" |
        sed -E 's/^[0-9]+: //'
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$out")
    [ -n "$summary" ] || { status=1; continue; }
    total=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
    bad=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done
echo
if [ "$skipped" -gt 0 ]; then
    echo "$passed passed, $failed failed, $skipped skipped"
else
    echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ] || status=1
exit $status
