#!/bin/sh
# Builds the packages a second time from a copy of the sources in another folder, later,
# and checks that every file matches the first build byte for byte and its SHA256SUMS.
# Usage: check_reproducible.sh SOURCE_DIR FIRST_PACKAGE_DIR SOURCE_DATE_EPOCH
set -u
src=$1 first=$2 epoch=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The sources as they stand: tracked and new files, no build folders, no history.
mkdir "$work/src"
if git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
    git -C "$src" ls-files -z --cached --others --exclude-standard |
        (cd "$src" && tar cf - --null --ignore-failed-read -T - 2>/dev/null) | tar xf - -C "$work/src"
else
    (cd "$src" && tar cf - --exclude=./build --exclude=./out .) | tar xf - -C "$work/src"
fi

(cd "$first" && sha256sum --quiet -c SHA256SUMS) || { echo "the first build's SHA256SUMS does not match its files"; exit 1; }

cd "$work/src" || exit 1
SOURCE_DATE_EPOCH=$epoch cmake --preset win32 -DGOOGLETEST_SOURCE="$work/none" >"$work/build.log" 2>&1 &&
    cmake --build --preset win32 --target packages -j "$(nproc)" >>"$work/build.log" 2>&1 || {
    tail -n 30 "$work/build.log"
    echo "the second build failed"
    exit 1
}
second="$work/src/build/win32/packages"

status=0
while read -r hash name; do
    if [ ! -f "$second/$name" ]; then
        echo "DIFFERS: $name is missing from the second build"; status=1
    elif ! cmp -s "$first/$name" "$second/$name"; then
        echo "DIFFERS: $name ($(cmp "$first/$name" "$second/$name" | head -n 1))"; status=1
    else
        echo "identical: $name $hash"
    fi
    # No build folder may end up in a download.
    for folder in "$src" "$work" "$(dirname "$first")"; do
        if grep -q -a -F "$folder" "$second/$name"; then
            echo "DIFFERS: $name holds the build path $folder"; status=1
        fi
    done
done <"$first/SHA256SUMS"
cmp -s "$first/SHA256SUMS" "$second/SHA256SUMS" || { echo "DIFFERS: SHA256SUMS"; status=1; }
[ "$status" -eq 0 ] && echo "two builds match: $(wc -l <"$first/SHA256SUMS") files, SOURCE_DATE_EPOCH $epoch"
exit $status
