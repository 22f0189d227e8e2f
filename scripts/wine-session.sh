# Sourced by the scripts that run the Windows build under Wine. Gives them a
# Wine prefix of their own on a headless X server, both thrown away by
# stop_wine_session:
#
#   start_wine_session WORK-DIR     (exports WINEPREFIX, DISPLAY, wine, ...)
#   ... run "$wine" program.exe ...
#   stop_wine_session
#
# Every step works around something seen here with Wine 8 and no window
# manager; the comments say what.

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
wine_xvfb_pid=""

start_wine_session() {
    local work="$1"
    export WINEPREFIX="$work/prefix"
    export WINEARCH=win64
    # err+module: a program that lacks a DLL otherwise exits without a word.
    export WINEDEBUG=-all,err+module
    # No Mono or Gecko downloads, no menu entries on the host, and a program
    # that crashes ends at once instead of waiting in the debugger.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
    # Wine takes the user's locale from LANG; C.UTF-8 exists on every Debian
    # system, keeps file names UTF-8 and gives Windows programs U.S. English.
    export LANG=C.UTF-8
    unset LC_ALL LC_MESSAGES WAYLAND_DISPLAY

    mkdir -p "$work"
    exec {display_fd}>"$work/display"
    Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    wine_xvfb_pid=$!
    exec {display_fd}>&-
    local _
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$work/display")"

    # Started ahead and detached from every terminal and pipe: otherwise each
    # program pays for a server start, and a server left holding ctest's
    # output pipe makes ctest wait for it until the timeout.
    mkdir -p "$WINEPREFIX"
    "$wineserver" -p </dev/null >/dev/null 2>&1
    timeout 300 "$wine" wineboot --init </dev/null >/dev/null 2>&1
    # The first boot leaves a second service manager behind; the first window
    # created after it then waits 10 s for RpcSs. A restart clears it.
    "$wineserver" -k </dev/null >/dev/null 2>&1 || true
    "$wineserver" -w </dev/null >/dev/null 2>&1 || true
    "$wineserver" -p </dev/null >/dev/null 2>&1
    timeout 120 "$wine" wineboot </dev/null >/dev/null 2>&1
    # Without a window manager, Wine waits 2 s for every managed window that
    # is hidden or destroyed (each message box). Unmanaged, it draws its own
    # title bars.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
    # Wine reads fonts only from C:\windows\Fonts and fontconfig: without its
    # own, MS Sans Serif falls back to another face and the close box shows
    # the letter "r" instead of Marlett's cross.
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
}

stop_wine_session() {
    "$wineserver" -k </dev/null >/dev/null 2>&1 || true
    # The server writes the registry as it goes; wait before removing the prefix.
    "$wineserver" -w </dev/null >/dev/null 2>&1 || true
    if [ -n "$wine_xvfb_pid" ]; then
        kill "$wine_xvfb_pid" 2>/dev/null || true
        wait "$wine_xvfb_pid" 2>/dev/null || true
        wine_xvfb_pid=""
    fi
}
