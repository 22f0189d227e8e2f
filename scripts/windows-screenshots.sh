#!/usr/bin/env bash
# Takes the README's screenshots of the Windows program: builds Dozozeda.exe,
# runs it under Wine on a headless X server, uses it with mouse and keyboard
# through xdotool (a 10 MB test file, the About window, one run to a UNC path
# served from a temporary folder) and saves each window to
# docs/screenshots/win32-*.png.
# Closing the program with Alt+F4 must end it and remove its test file.
#
#   scripts/windows-screenshots.sh [build-dir]     (default: <repo>/build-windows)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$repo/build-windows}
out="$repo/docs/screenshots"
# shellcheck source=wine-session.sh
source "$repo/scripts/wine-session.sh"

"$repo/scripts/install-deps.sh" windows screenshots
cmake -S "$repo" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DDOZOZEDA_WITH_QT=OFF >/dev/null
cmake --build "$build" -j2 --target Dozozeda >/dev/null
mkdir -p "$out"

work=$(mktemp -d "${TMPDIR:-/tmp}/dozozeda-shots.XXXXXX")
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    stop_wine_session
    rm -rf "$work"
}
trap cleanup EXIT

start_wine_session "$work"
mkdir -p "$work/app" "$work/share" "$WINEPREFIX/dosdevices/unc/fileserver"
cp "$build/Dozozeda.exe" "$work/app/"
# The run goes to a UNC path, as on a network; Wine serves it from a folder.
ln -s "$work/share" "$WINEPREFIX/dosdevices/unc/fileserver/speedtest"

# Waits for a top-level window of that title and width; prints its id. Wine
# draws the title bar and border itself, inside the X window.
wait_for_window() {
    local title="$1" width="$2" id
    for _ in $(seq 100); do
        for id in $(xdotool search --name "^$title\$" 2>/dev/null); do
            if xdotool getwindowgeometry "$id" | grep -q "Geometry: ${width}x"; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    echo "no window '$title' $width pixels wide appeared" >&2
    return 1
}

height_of() { xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p'; }

click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }

# Positions are those of the windows' designs in pixels, below the menu bar
# or inside Wine's title bar and border.
"$wine" "$work/app/Dozozeda.exe" </dev/null >/dev/null 2>&1 &
app_pid=$!
main=$(wait_for_window Dozozeda 209)
menu=$(($(height_of "$main") - 226))
sleep 0.5
click "$main" 22 $((menu + 30))     # "10  MB"
click "$main" 139 $((menu + 76))    # "Create dummyfile"
for _ in $(seq 100); do [ -s "$work/app/dummyfile.dum" ] && break; sleep 0.1; done
sleep 0.5
import -window "$main" "$out/win32-main.png"

click "$main" 20 $((menu / 2))      # "About"
about=$(wait_for_window "Dozozeda v1.1" 189)
sleep 0.3
import -window "$about" "$out/win32-about.png"
xdotool key alt+F4
sleep 0.5

click "$main" 139 $((menu + 124))   # "Test Network"
speed=$(wait_for_window Dozozeda 386)
title=$(($(height_of "$speed") - 225 - 3))
click "$speed" 103 $((title + 25))  # the path box
xdotool type --delay 5 '\\fileserver\speedtest'
click "$speed" 55 $((title + 52))   # "Check speed"
sleep 1
import -window "$speed" "$out/win32-speedtest.png"

# The speed test first, then the main window.
xdotool key alt+F4
sleep 0.5
xdotool key alt+F4
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
    echo "Alt+F4 did not close the program" >&2
    exit 1
fi
app_pid=""
if [ -e "$work/app/dummyfile.dum" ]; then
    echo "the test file was left behind" >&2
    exit 1
fi
echo "Screenshots in $out"
