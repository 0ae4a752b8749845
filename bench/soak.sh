#!/bin/bash
# The long leak soak under Wine: 70,000 keyed paints of the Setup skin and 2,000 of the
# Warning skin, then 2,000 open-close cycles of each dialog, each checked against the GDI
# and USER headroom before and after (the test run does a few hundred). Usage: bench/soak.sh
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/tools/setup.sh" || exit 1
cmake --preset win32 >/dev/null &&
    cmake --build --preset win32 --target win32_dialog_tests bare_resources -j "$(nproc)" >/dev/null || exit 1

. "$root/tools/winenv.sh"
wine_usable || { echo "Wine cannot start here: this kernel runs no 32-bit programs" >&2; exit 1; }
trap wine_env_stop EXIT
wine_env_start
cd build/win32 || exit 1
QF_SOAK=1 wine win32_dialog_tests.exe --gtest_filter='*LeakNothing*' 2>&1 |
    grep -E 'keyed paints|open-close cycles|^\[ +(OK|FAILED|PASSED) +\]'
exit "${PIPESTATUS[0]}"
