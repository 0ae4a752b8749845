#!/bin/bash
# Builds everything and runs every test: host (sanitizers), fuzzing, and the Win32
# and end-to-end tests under Wine on a virtual display. Exits non-zero on any failure.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/tools/setup.sh" || exit 1

. "$root/tools/winenv.sh"
# Where Wine runs only 64-bit programs, the Win32 and end-to-end tests run on a 64-bit
# build of the same sources; the shipped 32-bit build is still built and checked.
test_presets=(host fuzz win32)
[ "$QF_WINE" = 64 ] && test_presets+=(win64)

logs=$(mktemp -d /tmp/quilmaren-logs.XXXXXX)
# The builds run while Wine sets up its prefix, which mostly waits.
build_all() {
    for preset in "${test_presets[@]}"; do
        cmake --preset "$preset" >/dev/null &&
            cmake --build --preset "$preset" -j "$(nproc)" >"build-$preset.log" 2>&1 || {
            tail -n 40 "build-$preset.log"
            echo "build of $preset failed (see build-$preset.log)" >&2
            return 1
        }
        rm -f "build-$preset.log"
    done
}
build_all &
building=$!

win32_filter=()
case "$QF_WINE" in
32|64)
    trap 'wine_env_stop; rm -rf "$logs"' EXIT
    wine_env_start ;;
*)
    trap 'rm -rf "$logs"' EXIT ;;
esac
wait "$building" || exit 1

# What cannot run here is counted once the builds exist.
skipped=0
case "$QF_WINE" in
64)
    # The installer is 32-bit through and through: its test cannot run on 64-bit Wine.
    win32_filter=(-LE wine)
    skipped=$(ctest --preset win32 -N -L wine | grep -c 'Test *#')
    skipped=$((skipped - $(ctest --preset win64 -N -L wine | grep -c 'Test *#')))
    echo "This kernel runs no 32-bit programs (ia32 emulation is off), so 32-bit Wine cannot start."
    echo "The Win32 and end-to-end tests run on a 64-bit build of the same sources under 64-bit Wine;"
    echo "the $skipped test(s) of the 32-bit installer are skipped." ;;
32) ;;
*)
    win32_filter=(-LE wine)
    skipped=$(ctest --preset win32 -N -L wine | grep -c 'Test *#')
    echo "Wine cannot start here: the $skipped Win32 and end-to-end tests are skipped." ;;
esac

# Verbose into a log; shown: each result, the figures the tests print, and failures.
run_tests() {
    ctest --preset "$1" -V "${@:2}" >"$logs/$1.log" 2>&1
    echo $? >"$logs/$1.rc"
}
# Beside the Win32 and end-to-end tests, which mostly wait on Wine and the clock: the
# host tests, then the fuzzer on one core for 30 s. Those run four at a time, each lane
# in a prefix of its own or holding the shared one.
(run_tests host -j "$(nproc)"; run_tests fuzz) &
beside=$!
run_tests win32 -j 4 "${win32_filter[@]}"
[ "$QF_WINE" = 64 ] && run_tests win64 -j 4 -L wine
wait "$beside"

passed=0 failed=0 status=0
for preset in "${test_presets[@]}"; do
    echo "== $preset tests"
    out="$logs/$preset.log"
    [ "$(cat "$logs/$preset.rc")" = 0 ] || {
        status=1
        grep -E -A 12 'Failure|FAIL:|ERROR:|Error|DIFFERS|==ERROR' "$out" | head -n 150
    }
    grep -E "Test +#[0-9]+: |stat::number_of_executed_units|keyed paints|open-close cycles|start to tray icon|two builds match|tests passed|Total Test time| skipped '" "$out" |
        sed -E 's/^[0-9]+: //'
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$out")
    [ -n "$summary" ] || { status=1; continue; }
    total=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
    bad=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
    # A test that could not check anything here says why and ends as skipped.
    unrun=$(grep -c -E '^[0-9/ ]*Test +#[0-9]+: .*\*\*\*Skipped' "$out")
    passed=$((passed + total - bad - unrun))
    skipped=$((skipped + unrun))
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
