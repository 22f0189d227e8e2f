# Sourced by the tests that start the real Qt program on a headless X server.
#
#   start_xvfb WORK-DIR        starts Xvfb, exports DISPLAY, sets xvfb_pid
#   main_window                prints the main window's id once it is shown,
#                              nothing after 10 s

start_xvfb() {
    exec 3>"$1/display"
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    for _ in $(seq 50); do [ -s "$1/display" ] && break; sleep 0.1; done
    DISPLAY=":$(cat "$1/display")"
    export DISPLAY
}

# Qt keeps a 1x1 helper window of the same name; the main window is the one
# of the design's size, its 17-pixel menu bar included.
main_window() {
    local id
    for _ in $(seq 100); do
        for id in $(xdotool search --name '^Dozozeda$' 2>/dev/null); do
            xdotool getwindowgeometry "$id" | grep -q 'Geometry: 209x243' && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
}
