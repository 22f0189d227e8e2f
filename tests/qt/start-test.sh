#!/usr/bin/env bash
# start-test.sh PROGRAM VERSION-TEXT CLI-BUILT(0|1)
#
# What the program says before it has a window: --version and --help in a
# terminal without a display, and, started where it cannot open a window,
# one line on standard error that says so (naming the command-line program
# when there is one) and status 1, not Qt's abort.
set -euo pipefail
program=$1 version=$2 cli_built=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs the program with the environment given; sets out, err and status.
run() {
    local files
    files=$(mktemp -d)
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" >"$files/out" 2>"$files/err" </dev/null || status=$?
    out=$(cat "$files/out") err=$(cat "$files/err")
    rm -rf "$files"
}

run "$program" --version
[ "$status" -eq 0 ] || fail "--version ended with status $status"
[ "$(head -n 1 <<<"$out")" = "dozozeda (Dozozeda) $version" ] || fail "--version printed: $out"

run "$program" -style fusion --help
[ "$status" -eq 0 ] && grep -q '^Usage: dozozeda' <<<"$out" || fail "--help after Qt's options: status $status, $out"

# A display number nobody serves.
free_display=90
while [ -e "/tmp/.X11-unix/X$free_display" ] || [ -e "/tmp/.X$free_display-lock" ]; do
    free_display=$((free_display + 1))
done
for case in "no session|" "a display that refuses|DISPLAY=:$free_display"; do
    name=${case%%|*}
    run ${case#*|} "$program"
    [ "$status" -eq 1 ] || fail "$name: status $status (a status above 128 is a signal, such as Qt's abort)"
    [ -z "$out" ] || fail "$name: printed on standard output: $out"
    [ "$(wc -l <<<"$err")" -eq 1 ] && grep -q '^dozozeda: .*desktop session' <<<"$err" \
        || fail "$name: not one line saying what to do: $err"
    if [ "$cli_built" = 1 ]; then
        grep -q 'dozozeda-cli' <<<"$err" || fail "$name: the command-line program is not named: $err"
    fi
done

[ "$failures" -eq 0 ] && echo "--version, --help and the start without a display: as expected"
exit $((failures > 0))
