#!/bin/bash
# Runs one command inside a fresh private Wine prefix on a virtual display, then
# ends everything it started: tools/with-wine.sh ctest --preset win32 -R e2e
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/winenv.sh"
trap wine_env_stop EXIT
trap "exit 143" TERM INT
wine_env_start
"$@"
