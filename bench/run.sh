#!/bin/bash
# Benchmarks the program against a minimal Win32 tray program under Wine on a virtual
# display and prints a Markdown table (about five minutes). Usage: bench/run.sh
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/tools/setup.sh" || exit 1
. "$root/tools/winenv.sh"
# The shipped program is the 32-bit build; where only 64-bit Wine starts, the 64-bit test
# build is measured instead, and the table's heading says so.
preset=$QF_WINE_PRESET
[ -n "$preset" ] || { echo "Wine cannot start here." >&2; exit 1; }
[ "$preset" = win64 ] && echo "This kernel runs no 32-bit programs: measuring the 64-bit test build." >&2
cmake --preset $preset >/dev/null &&
    cmake --build --preset $preset --target QuilmarenFilters bench_baseline bench_paint -j "$(nproc)" >/dev/null || exit 1

trap wine_env_stop EXIT
wine_env_start
PYTHONPATH="$root/tools" /usr/bin/python3 bench/measure.py build/$preset/QuilmarenFilters.exe \
    build/$preset/bench_baseline.exe build/$preset/bench_paint.exe
