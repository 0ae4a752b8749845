#!/bin/bash
# Builds the portable ZIP, the per-user installer and the per-machine MSI into build/win32/packages/.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/tools/setup.sh" || exit 1
cmake --preset win32 >/dev/null && cmake --build --preset win32 --target packages -j "$(nproc)" || exit 1
ls -l build/win32/packages/*.zip build/win32/packages/*.exe build/win32/packages/*.admx build/win32/packages/en-US/*.adml build/win32/packages/*.msi
cat build/win32/packages/SHA256SUMS
