#!/bin/bash
# Benchmarks the program against a minimal Win32 tray program under Wine on a virtual
# display and prints a Markdown table (about five minutes). Usage: bench/run.sh
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/tools/setup.sh" || exit 1
cmake --preset win32 >/dev/null &&
    cmake --build --preset win32 --target QuilmarenFilters bench_baseline bench_paint -j "$(nproc)" >/dev/null || exit 1

. "$root/tools/winenv.sh"
# The figures are the shipped 32-bit program's: no 64-bit stand-in.
[ "$QF_WINE" = 32 ] || { echo "32-bit Wine cannot start here: this kernel runs no 32-bit programs" >&2; exit 1; }
trap wine_env_stop EXIT
wine_env_start
PYTHONPATH="$root/tools" /usr/bin/python3 bench/measure.py build/win32/QuilmarenFilters.exe build/win32/bench_baseline.exe \
    build/win32/bench_paint.exe
