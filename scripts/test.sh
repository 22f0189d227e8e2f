#!/usr/bin/env bash
# Builds everything and runs every test: the native suite (the windows
# headless, the file layer, the real-share tests when run as root), the
# packages (scripts/package.sh), the Windows build and its zip under Wine,
# and the Debian packages, installed and purged again when run as root.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${DOZOZEDA_BUILD_DIR:-$repo/build/tests}"

# The real-share tests install Samba themselves, with its services kept from
# starting on the host.
"$repo/scripts/install-deps.sh" build test windows package package-checks

cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DDOZOZEDA_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j2
(cd "$build" && ctest --output-on-failure --timeout 600 -j2)

# Builds build/windows, which the Windows tests then use as it is.
"$repo/scripts/package.sh"
"$repo/scripts/windows-tests.sh" "$repo/build/windows" "$repo"/build/packages/Dozozeda-*-win64.zip
"$repo/tests/packaging/check-deb.sh" "$repo"/build/packages/dozozeda*.deb
