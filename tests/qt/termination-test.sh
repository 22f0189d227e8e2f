#!/usr/bin/env bash
# termination-test.sh PROGRAM
#
# The real program on a headless X server: choose 10 MB, write the test file
# with the mouse, then send SIGTERM, as a session ending does, or SIGHUP, as
# closing the terminal that started it does. The program must end by itself
# with status 0 and take its test file with it.
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail
# shellcheck source=../support/x-session.sh
source "$(dirname "$0")/../support/x-session.sh"
program=$1
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The program keeps its test file beside itself.
cp "$program" "$work/dozozeda"
start_xvfb "$work"
unset QT_QPA_PLATFORM

# SIGTERM as a session ending sends it, SIGHUP as a closed terminal does.
for signal in TERM HUP; do
    "$work/dozozeda" &
    app_pid=$!
    main=$(main_window)
    [ -n "$main" ] || { echo "the main window did not appear"; exit 1; }
    sleep 0.3
    # The design's positions: a 17-pixel menu bar, then the frame.
    xdotool mousemove --window "$main" 22 45 click 1      # "10  MB"
    sleep 0.2
    xdotool mousemove --window "$main" 131 93 click 1     # "Create dummyfile"
    for _ in $(seq 100); do
        [ "$(stat -c %s "$work/dummyfile.dum" 2>/dev/null || echo 0)" = 10485760 ] && break
        sleep 0.1
    done
    [ "$(stat -c %s "$work/dummyfile.dum" 2>/dev/null || echo 0)" = 10485760 ] || { echo "no 10 MB test file was written"; exit 1; }
    sleep 0.3

    kill -"$signal" "$app_pid"
    status=0
    timeout 10 tail --pid="$app_pid" -f /dev/null || { echo "the program did not end within 10 s of SIG$signal"; exit 1; }
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || { echo "SIG$signal: the program ended with status $status"; exit 1; }
    [ ! -e "$work/dummyfile.dum" ] || { echo "SIG$signal: the test file was left behind"; exit 1; }
    echo "SIG$signal: the program ended with status 0 and removed its test file"
done
