#!/usr/bin/env bash
# Builds the Windows programs, Dozozeda.exe and dozozeda-cli.exe, and their
# tests for 64-bit Windows with mingw-w64 and runs the tests under Wine on a
# headless X server, in a Wine prefix of its own that is thrown away
# afterwards: the file layer, the window tests on the Win32 layer, the
# program driven from another process, the programs' resources and imports,
# and the command line run as a process.
#
#   scripts/windows-tests.sh [build-dir [zip]]     (default: <repo>/build-windows)
#
# Given the Windows zip that scripts/package.sh made, it checks that too, in
# the same Wine session (tests/packaging/check-zip.sh). The exit status is
# ctest's, or 1 when the zip fails its check.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$repo/build-windows}
zip=${2:-}
started=$SECONDS
# shellcheck source=wine-session.sh
source "$repo/scripts/wine-session.sh"

"$repo/scripts/install-deps.sh" windows

cmake -S "$repo" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DDOZOZEDA_WITH_QT=OFF \
    -DDOZOZEDA_WARNINGS_AS_ERRORS=ON
cmake --build "$build" -j2
echo "Dozozeda.exe: $(stat -c %s "$build/Dozozeda.exe") bytes"

work=$(mktemp -d "${TMPDIR:-/tmp}/dozozeda-wine.XXXXXX")
cleanup() {
    stop_wine_session
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_wine_session "$work"

# Wine serves \\server\share from dosdevices/unc/server/share, which gives the
# tests a real UNC path to write to.
mkdir -p "$work/share" "$WINEPREFIX/dosdevices/unc/dozozeda-share-host"
ln -s "$work/share" "$WINEPREFIX/dosdevices/unc/dozozeda-share-host/share"
export DOZOZEDA_TEST_UNC_SHARE='\\dozozeda-share-host\share'
export DOZOZEDA_TEST_UNC_FOLDER="$work/share"

# One at a time: the window tests need the keyboard focus, which a program
# started by another test would take.
status=0
(cd "$build" && ctest --output-on-failure --timeout 120) || status=$?
grep -h "showed its main window" "$build/Testing/Temporary/LastTest.log" || true
if [ -n "$zip" ]; then
    "$repo/tests/packaging/check-zip.sh" "$build" "$zip" || status=1
fi
echo "Windows tests finished with status $status after $((SECONDS - started)) s"
exit "$status"
