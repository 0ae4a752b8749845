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

wine_env_start() {
    QF_RUN_DIR=$(mktemp -d /tmp/quilmaren.XXXXXX)
    mkdir -p "$QF_RUN_DIR/home" "$QF_RUN_DIR/tmp" "$QF_RUN_DIR/xdg"
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
    export HOME="$QF_RUN_DIR/home" TMPDIR="$QF_RUN_DIR/tmp" XDG_RUNTIME_DIR="$QF_RUN_DIR/xdg"
    export QF_RUN_DIR

    if [ -z "${QF_USE_DISPLAY:-}" ]; then
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
    [ -n "${QF_XVFB_PID:-}" ] && kill "$QF_XVFB_PID" 2>/dev/null && wait "$QF_XVFB_PID" 2>/dev/null
    [ -n "${QF_RUN_DIR:-}" ] && rm -rf "$QF_RUN_DIR"
    unset QF_XVFB_PID QF_RUN_DIR
}
