#!/bin/bash
# Installs what building, running and testing need, on Debian 12 or 13 as root; elsewhere
# it lists what is missing and stops. Safe to run again: it installs only what is missing,
# so once everything is in it runs offline without touching the package manager.
set -u

packages=(
    cmake make g++ python3 git
    g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools
    googletest clang
    wine wine32:i386 fonts-wine xvfb xdotool imagemagick x11-utils libxfixes3 python3-pefile nsis wixl msitools
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils libxinerama1 libxrandr2
)
# A kernel without ia32 emulation runs no 32-bit programs, 32-bit Wine included: the
# Win32 tests then run as a 64-bit build under 64-bit Wine.
packages_64=(wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
# The two-monitor display (Xorg's dummy driver, outputs added with xrandr) shows Wine both
# monitors only through Xinerama: 32-bit Wine needs the 32-bit libraries for that.
packages_32=(libxinerama1:i386 libxrandr2:i386)

# Installed for the architecture asked for (NAME:ARCH), else for this machine's own or for
# all: a library installed for two architectures prints one status for each.
installed() {
    local name=${1%%:*} arch=${1#*:} native
    native=$(dpkg --print-architecture)
    [ "$arch" = "$1" ] && arch=$native
    dpkg-query -W -f='${Architecture} ${Status}\n' "$name" 2>/dev/null |
        grep -q -E "^($arch|all) install ok installed$"
}

# apt-get, its own messages kept for when the set-up finally gives up.
apt_log=$(mktemp)
trap 'rm -f "$apt_log"' EXIT
apt() { apt-get -q "$@" >"$apt_log" 2>&1; }

# A mirror caught in the middle of a sync fails one index or another for a while: try
# again, then go on with what the lists hold.
refresh_lists() {
    local try
    for try in 1 2 3; do
        apt update && ! grep -q '^[WE]: .*[Ff]ailed' "$apt_log" && return 0
        [ "$try" -lt 3 ] && sleep "$try"
    done
    echo "Warning: some package lists could not be refreshed; going on with the lists as they are:" >&2
    grep -E '^(E|W|Err):' "$apt_log" | head -n 5 >&2
}

# Installs whichever of the named packages are missing.
install_missing() {
    local missing=() p codename
    if command -v dpkg-query >/dev/null 2>&1; then
        for p in "$@"; do installed "$p" || missing+=("$p"); done
    else
        missing=("$@")
    fi
    [ ${#missing[@]} -eq 0 ] && return 0

    if [ ! -f /etc/debian_version ] || [ "$(id -u)" -ne 0 ]; then
        echo "Missing: ${missing[*]}" >&2
        echo "Install them as root on Debian 12 or 13 (after 'dpkg --add-architecture i386' for wine32:i386):" >&2
        echo "  apt-get install ${missing[*]}" >&2
        return 1
    fi

    echo "Installing: ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    export DEBIAN_FRONTEND=noninteractive
    [ -n "${lists_refreshed:-}" ] || { refresh_lists; lists_refreshed=1; }
    apt install -y --no-install-recommends "${missing[@]}" && return 0
    # Mid-sync, a security update can be on the mirror for one architecture before the
    # other, and multiarch packages need equal versions: prefer the release's own suite.
    codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    if [ -n "$codename" ]; then
        echo "That failed; trying once more preferring the release's own suite ($codename)."
        apt install -y --no-install-recommends -t "$codename" "${missing[@]}" && return 0
    fi
    echo "apt-get could not install: ${missing[*]}" >&2
    tail -n 15 "$apt_log" >&2
    return 1
}

install_missing "${packages[@]}" || exit 1
# The sanitizers' runtime that goes with the installed clang (14 on Debian 12, 19 on 13).
clang_major=$(clang -dumpversion 2>/dev/null | cut -d. -f1)
[ -n "$clang_major" ] || { echo "clang does not say its version" >&2; exit 1; }
install_missing "libclang-rt-$clang_major-dev" || exit 1
# Also when the 64-bit flavour is chosen (QF_WINE=64), so its path can be tried anywhere.
if [ "${QF_WINE:-}" = 64 ] || { [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; }; then
    install_missing "${packages_64[@]}" || exit 1
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    install_missing "${packages_32[@]}" || exit 1
fi
exit 0
