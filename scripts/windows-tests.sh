#!/usr/bin/env bash
# Builds the Qt-free layer for 64-bit Windows with mingw-w64 and runs its tests
# under Wine, in a Wine prefix of its own that is thrown away afterwards.
#
#   scripts/windows-tests.sh [build-dir]     (default: <repo>/build-windows)
#
# The exit status is ctest's.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$repo/build-windows}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
started=$SECONDS

"$repo/scripts/install-deps.sh" windows

cmake -S "$repo" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DDOZOZEDA_WITH_QT=OFF \
    -DDOZOZEDA_WARNINGS_AS_ERRORS=ON
cmake --build "$build" -j2

work=$(mktemp -d "${TMPDIR:-/tmp}/dozozeda-wine.XXXXXX")
export WINEPREFIX=$work/prefix
export WINEARCH=win64
# err+module: a program that lacks a DLL otherwise exits without a word.
export WINEDEBUG=-all,err+module
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    "$wineserver" -k </dev/null >/dev/null 2>&1 || true
    # The server writes the registry as it goes; wait before removing the prefix.
    "$wineserver" -w </dev/null >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Started ahead and detached from every terminal and pipe: otherwise each test
# process pays for a server start, and a server left holding ctest's output
# pipe makes ctest wait for it until the timeout.
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
timeout 300 "$wine" wineboot --init </dev/null >/dev/null 2>&1

# Wine serves \\server\share from dosdevices/unc/server/share, which gives the
# tests a real UNC path to write to.
mkdir -p "$work/share" "$WINEPREFIX/dosdevices/unc/dozozeda-share-host"
ln -s "$work/share" "$WINEPREFIX/dosdevices/unc/dozozeda-share-host/share"
export DOZOZEDA_TEST_UNC_SHARE='\\dozozeda-share-host\share'

status=0
(cd "$build" && ctest --output-on-failure --timeout 120) || status=$?
echo "Windows tests finished with status $status after $((SECONDS - started)) s"
exit "$status"
