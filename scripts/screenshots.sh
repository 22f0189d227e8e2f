#!/usr/bin/env bash
# Takes the README's screenshots: starts the real program under Xvfb, uses
# it with mouse and keyboard through xdotool, and saves each window to
# docs/screenshots/. Writes a 10 MB test file beside the built program and
# copies it to a temporary folder; closing the program removes both.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${DOZOZEDA_BUILD_DIR:-$repo/build/release}"
out="$repo/docs/screenshots"

"$repo/scripts/install-deps.sh" build screenshots
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target dozozeda >/dev/null
mkdir -p "$out"

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# Waits for a top-level window of that title and size; prints its id.
wait_for_window() {
    local title="$1" size="$2"
    for _ in $(seq 100); do
        for id in $(xdotool search --name "^$title\$" 2>/dev/null); do
            if xdotool getwindowgeometry "$id" | grep -q "Geometry: $size"; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    echo "no window '$title' of $size appeared" >&2
    return 1
}

click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }

"$build/dozozeda" &
app_pid=$!
main="$(wait_for_window Dozozeda 209x243)"
sleep 0.5
import -window "$main" "$out/main-start.png"

# Positions are those of the window's design: menu bar 17 px, then the frame.
click "$main" 22 45       # "10  MB"
click "$main" 131 93      # "Create dummyfile"
sleep 1
import -window "$main" "$out/main.png"

click "$main" 131 141     # "Test Network"
speed="$(wait_for_window Dozozeda 380x225)"
mkdir -p "$work/share"
xdotool windowfocus "$speed"
click "$speed" 180 25
xdotool type --delay 5 "$work/share"
click "$speed" 52 52      # "Check speed"
click "$speed" 52 52      # a second run, to show two reports
sleep 1
import -window "$speed" "$out/speedtest.png"

# Without a window manager every window opens centred on the others; move
# this one off the main window's menu bar.
xdotool windowmove "$speed" 10 370
click "$main" 20 8        # "About"
about="$(wait_for_window "Dozozeda v1.1" 183x109)"
sleep 0.3
import -window "$about" "$out/about.png"


xdotool windowfocus "$main"
# The window is gone before the keys are released; xdotool complains.
xdotool key --window "$main" alt+F4 2>/dev/null || true
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
    echo "Alt+F4 did not close the program" >&2
    exit 1
fi
app_pid=""
if [ -e "$build/dummyfile.dum" ]; then
    echo "the test file was left behind" >&2
    exit 1
fi
echo "Screenshots in $out"
