#!/bin/bash
# Builds the program and runs it. With a display it simply starts under Wine; without
# one it runs on a virtual display and leaves screenshots and asset previews in out/.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/tools/setup.sh" || exit 1
. "$root/tools/winenv.sh"

# The program is the 32-bit build. Where the kernel runs no 32-bit programs, what runs is
# a 64-bit build of the same sources under 64-bit Wine.
build() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1" --target QuilmarenFilters -j "$(nproc)" >build-run.log 2>&1 || {
        tail -n 40 build-run.log
        exit 1
    }
    rm -f build-run.log
}
build win32
exe="$root/build/win32/QuilmarenFilters.exe"
echo "Built $exe ($(stat -c %s "$exe") bytes)"
if [ "$QF_WINE_PRESET" = win64 ]; then
    build win64
    exe="$root/build/win64/QuilmarenFilters.exe"
    echo "This kernel runs no 32-bit programs: running $exe, a 64-bit build of the same sources."
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && [ "$QF_WINE" = 32 ]; then
    echo "Running it on $DISPLAY: look for the orange star in the notification area."
    QF_SOUND=1 exec wine "$exe"
fi

out="$root/out"
rm -rf "$out" && mkdir -p "$out/screenshots" "$out/assets"
scratch=$(mktemp -d)
python3 tools/make_assets.py --out "$scratch" --previews "$out/assets" && rm -rf "$scratch"

if [ -z "$QF_WINE" ]; then
    echo "Wine cannot start here. Run $exe on Windows; asset previews: $out/assets/"
    exit 1
fi
trap wine_env_stop EXIT
wine_env_start
PYTHONDONTWRITEBYTECODE=1 python3 tools/tour.py "$exe" "$out/screenshots"
status=$?
echo "Asset previews: $out/assets/"
exit $status
