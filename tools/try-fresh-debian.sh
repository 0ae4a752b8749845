#!/bin/bash
# Tries the README's two commands as a new user would: in a fresh, minimal Debian of the
# given release (bookworm, trixie, ...) made with debootstrap in a temporary folder, as
# root, on a clean clone of this repository's HEAD. Prints each command's closing lines
# and time, then removes everything it made, also when interrupted. Not part of the test
# run: it downloads a whole system. Usage: tools/try-fresh-debian.sh RELEASE
set -u
release=${1:?usage: tools/try-fresh-debian.sh RELEASE (for example bookworm or trixie)}
root=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "debootstrap and chroot need root" >&2; exit 1; }
command -v debootstrap >/dev/null || apt-get install -y -q debootstrap >/dev/null || exit 1

# The mirrors this machine's own apt sources name (one-line or deb822 style).
sources=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null)
mirror_of() {
    printf '%s\n' "$sources" | grep -v '^ *#' | grep -o -E "https?://[^ ]+/$1/?( |$)" | head -n 1 | tr -d ' '
}
mirror=$(mirror_of debian)
security=$(mirror_of debian-security)
[ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources" >&2; exit 1; }

dir=$(mktemp -d /var/tmp/fresh-debian.XXXXXX)
sys=$dir/sys-root
mounted=()
cleanup() {
    trap - EXIT INT TERM
    # Whatever still runs inside (a wineserver, an X server) goes first.
    local pid
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$sys" ] && kill -9 "$pid" 2>/dev/null
    done
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}"
    done
    # Nothing is removed through a mount that would not come off.
    grep -q " $dir/" /proc/mounts && { echo "left $dir: still mounted" >&2; return; }
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step() { printf '\n== %s\n' "$*"; }
elapsed() { local s=$(($(date +%s) - $1)); printf '%d min %02d s' $((s / 60)) $((s % 60)); }

step "debootstrap $release from $mirror"
start=$(date +%s)
debootstrap --variant=minbase --include=ca-certificates,git "$release" "$sys" "$mirror" >"$dir/debootstrap.log" 2>&1 &
wait $! || {
    tail -n 20 "$dir/debootstrap.log"
    exit 1
}
echo "made in $(elapsed "$start")"
# As an installed system has them: the release's updates and security suites too.
{
    echo "deb $mirror $release main"
    echo "deb $mirror $release-updates main"
    [ -n "$security" ] && echo "deb $security $release-security main"
} >"$sys/etc/apt/sources.list"
cp /etc/resolv.conf "$sys/etc/resolv.conf"
for m in proc sys dev dev/pts dev/shm; do
    mkdir -p "$sys/$m"
    case $m in
    proc) mount -t proc proc "$sys/proc" ;;
    dev/shm) mount -t tmpfs tmpfs "$sys/dev/shm" ;;
    *) mount --bind "/$m" "$sys/$m" ;;
    esac && mounted+=("$sys/$m")
done
mount -t tmpfs tmpfs "$sys/tmp" && mounted+=("$sys/tmp")

git clone -q "$root" "$sys/root/quilmaren" || exit 1
echo "clean clone of $(git -C "$root" rev-parse --short HEAD)"

# A login shell's environment, nothing of this one's but a chosen Wine (QF_WINE=64 tries
# the path of a kernel that runs no 32-bit programs).
inside() {
    chroot "$sys" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 ${QF_WINE:+QF_WINE=$QF_WINE} \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c "cd /root/quilmaren && $1"
}
status=0
for command in tools/run.sh tools/test.sh; do
    step "$command"
    start=$(date +%s)
    # In the background, so that an interruption is acted on at once, not when it ends.
    inside "$command" >"$dir/out.log" 2>&1 &
    wait $!
    code=$?
    tail -n 12 "$dir/out.log"
    echo "-- $command exited $code in $(elapsed "$start")"
    [ $code -eq 0 ] || status=1
done
step "Debian $(cat "$sys/etc/debian_version"), $(inside 'wine --version' 2>/dev/null)"
exit $status
