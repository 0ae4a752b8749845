#!/bin/bash
# The long leak soak under Wine: 70,000 keyed paints of the Setup skin and 2,000 of the
# Warning skin, then 2,000 open-close cycles of each dialog, each checked against the GDI
# and USER headroom before and after (the test run does a few hundred). Usage: bench/soak.sh
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/tools/setup.sh" || exit 1
. "$root/tools/winenv.sh"
# Where only 64-bit Wine starts, the soak runs on the 64-bit build of the same sources.
preset=$QF_WINE_PRESET
[ -n "$preset" ] || { echo "Wine cannot start here" >&2; exit 1; }
cmake --preset $preset >/dev/null &&
    cmake --build --preset $preset --target win32_dialog_tests bare_resources -j "$(nproc)" >/dev/null || exit 1

trap wine_env_stop EXIT
wine_env_start
cd build/$preset || exit 1
QF_SOAK=1 wine win32_dialog_tests.exe --gtest_filter='*LeakNothing*' 2>&1 |
    grep -E 'keyed paints|open-close cycles|^\[ +(OK|FAILED|PASSED) +\]'
exit "${PIPESTATUS[0]}"
