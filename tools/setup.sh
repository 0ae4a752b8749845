#!/bin/bash
# Installs what building, running and testing need, on Debian 12 as root; elsewhere
# it lists what is missing and stops. Safe to run again: it installs only what is missing.
set -u

packages=(
    cmake make g++ python3 git
    g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools
    googletest clang libclang-rt-14-dev
    wine wine32:i386 fonts-wine xvfb xdotool imagemagick x11-utils libxfixes3 python3-pefile nsis
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils libxinerama1 libxrandr2
)
# A kernel without ia32 emulation runs no 32-bit programs, 32-bit Wine included: the
# Win32 tests then run as a 64-bit build under 64-bit Wine.
packages_64=(wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
# The two-monitor display (Xorg's dummy driver, outputs added with xrandr) shows Wine both
# monitors only through Xinerama: 32-bit Wine needs the 32-bit libraries for that.
packages_32=(libxinerama1:i386 libxrandr2:i386)

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

# Installs whichever of the named packages are missing.
install_missing() {
    local missing=()
    if command -v dpkg-query >/dev/null 2>&1; then
        for p in "$@"; do installed "$p" || missing+=("$p"); done
    else
        missing=("$@")
    fi
    [ ${#missing[@]} -eq 0 ] && return 0

    if [ ! -f /etc/debian_version ] || [ "$(id -u)" -ne 0 ]; then
        echo "Missing: ${missing[*]}" >&2
        echo "Install them as root on Debian 12 (after 'dpkg --add-architecture i386' for wine32:i386):" >&2
        echo "  apt-get install ${missing[*]}" >&2
        return 1
    fi

    echo "Installing: ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >/dev/null &&
        apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null || {
        echo "apt-get could not install: ${missing[*]}" >&2
        return 1
    }
}

install_missing "${packages[@]}" || exit 1
# Also when the 64-bit flavour is chosen (QF_WINE=64), so its path can be tried anywhere.
if [ "${QF_WINE:-}" = 64 ] || { [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; }; then
    install_missing "${packages_64[@]}" || exit 1
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    install_missing "${packages_32[@]}" || exit 1
fi
exit 0
