# Sourced by the run and test scripts: a virtual display and a private Wine prefix
# for one run, and their teardown. Nothing is left in /tmp or running afterwards.

# Which Wine starts here: "32"; or "64" where the kernel runs no 32-bit programs (ia32
# emulation off), so 32-bit Wine cannot start but 64-bit Wine can; or nothing.
wine_flavour() {
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo 32
    elif /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
        echo 64
    fi
}

# The flavour, once, for the scripts that source this file, and the preset whose programs
# that Wine runs: the shipped 32-bit build, or the 64-bit build of the same sources.
export QF_WINE=${QF_WINE-$(wine_flavour)}
case "$QF_WINE" in
32) QF_WINE_PRESET=win32 ;;
64) QF_WINE_PRESET=win64 ;;
*) QF_WINE_PRESET= ;;
esac

# Two monitors (QF_MONITORS=2), which Xvfb cannot show: Xorg's dummy driver with its
# second output switched on, 1280 x 960 (primary) and 1024 x 768 to its right. A 40-pixel
# panel along the top of both, as a desktop's top bar, makes each work area smaller than
# its monitor.
two_monitors_start() {
    cat >"$QF_RUN_DIR/xorg.conf" <<'CONF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoAddGPU" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 65536
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1280x960"
        Virtual 2304 960
    EndSubSection
EndSection
CONF
    Xorg -config "$QF_RUN_DIR/xorg.conf" -noreset -nolisten tcp -novtswitch -sharevts \
        -logfile "$QF_RUN_DIR/xorg.log" -displayfd 3 3>"$QF_RUN_DIR/display" >"$QF_RUN_DIR/xorg.out" 2>&1 &
    QF_XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$QF_RUN_DIR/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$QF_RUN_DIR/display")"
    xrandr --newmode 1024x768_60 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync
    xrandr --addmode DUMMY1 1024x768_60
    xrandr --output DUMMY1 --mode 1024x768_60 --right-of DUMMY0
    xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA 0,40,2304,920
}

wine_env_start() {
    QF_RUN_DIR=$(mktemp -d /tmp/quilmaren.XXXXXX)
    mkdir -p "$QF_RUN_DIR/home" "$QF_RUN_DIR/xdg"
    chmod 700 "$QF_RUN_DIR/xdg"
    export WINEPREFIX="$QF_RUN_DIR/pfx" WINEARCH=win32 WINEDEBUG=-all
    if [ "${QF_WINE:-32}" = 64 ]; then
        # The wine and wine-stable on PATH would pick the 32-bit loader, which cannot start.
        mkdir -p "$QF_RUN_DIR/bin"
        for name in wine wine-stable; do
            printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$QF_RUN_DIR/bin/$name"
            chmod +x "$QF_RUN_DIR/bin/$name"
        done
        export PATH="$QF_RUN_DIR/bin:$PATH" WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
    fi
    # No Mono or Gecko installers; no sound device unless asked for one.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    [ -n "${QF_SOUND:-}" ] || WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winealsa.drv,winepulse.drv="
    export HOME="$QF_RUN_DIR/home" XDG_RUNTIME_DIR="$QF_RUN_DIR/xdg"
    # Debian's Wine keeps its server's socket in a folder it makes under TMPDIR and names in
    # the prefix's "wineserver" file; Wine 10 (Debian 13) aborts with "free(): invalid
    # pointer" whenever TMPDIR is set at all. So it makes that folder in /tmp, and the
    # teardown removes it by that name.
    unset TMPDIR
    export QF_RUN_DIR

    if [ "${QF_MONITORS:-1}" = 2 ]; then
        two_monitors_start
    elif [ -z "${QF_USE_DISPLAY:-}" ]; then
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$QF_RUN_DIR/display" \
            >"$QF_RUN_DIR/xvfb.log" 2>&1 &
        QF_XVFB_PID=$!
        for _ in $(seq 100); do [ -s "$QF_RUN_DIR/display" ] && break; sleep 0.1; done
        export DISPLAY=":$(head -n1 "$QF_RUN_DIR/display")"
    fi

    wineboot -i >"$QF_RUN_DIR/wine.log" 2>&1
    # Wine's own Tahoma gives dialogs the same metrics as on Windows (6 x 13 base units).
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$QF_RUN_DIR/wine.log" 2>&1
    # No window manager runs here: unmanaged windows spare a 2 s wait on every hide.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$QF_RUN_DIR/wine.log" 2>&1
    # The dummy driver offers no RandR provider: Wine sees both monitors only through Xinerama.
    # 64-bit Wine 8 then crashes in its XF86VidMode code as it lists the second monitor.
    if [ "${QF_MONITORS:-1}" = 2 ]; then
        for name in UseXRandR UseXVidMode; do
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v $name /t REG_SZ /d N /f >>"$QF_RUN_DIR/wine.log" 2>&1
        done
    fi
    # The desktop process that draws the tray read the setting at boot: start it anew, or
    # each removal of the last tray icon waits 2 s for a window manager to hide the tray.
    wineserver -k >>"$QF_RUN_DIR/wine.log" 2>&1
    wineserver -w >>"$QF_RUN_DIR/wine.log" 2>&1
    wineserver -p >>"$QF_RUN_DIR/wine.log" 2>&1
    # One idle Wine process keeps the system tray alive between programs.
    mkfifo "$QF_RUN_DIR/keepalive"
    wine cmd /c pause <"$QF_RUN_DIR/keepalive" >>"$QF_RUN_DIR/wine.log" 2>&1 &
    exec 9>"$QF_RUN_DIR/keepalive"
}

wine_env_stop() {
    exec 9>&-
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    [ -n "${WINEPREFIX:-}" ] && wineserver -w >/dev/null 2>&1
    local server
    server=$(cat "${WINEPREFIX:-/nonexistent}/wineserver" 2>/dev/null)
    case "$server" in wine-?*) rm -rf "/tmp/$server" ;; esac
    [ -n "${QF_XVFB_PID:-}" ] && kill "$QF_XVFB_PID" 2>/dev/null && wait "$QF_XVFB_PID" 2>/dev/null
    [ -n "${QF_RUN_DIR:-}" ] && rm -rf "$QF_RUN_DIR"
    unset QF_XVFB_PID QF_RUN_DIR
}
