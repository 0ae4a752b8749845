#!/bin/sh
# The committed assets are exactly what the generator writes.
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 "$root/tools/make_assets.py" --out "$out" || exit 1
diff -r "$root/res/assets" "$out" && echo "assets match the generator ($(ls "$out" | wc -l) files)"
