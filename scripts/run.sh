#!/usr/bin/env bash
# Builds Dozozeda and starts it. Installs missing Debian packages first
# when run as root or with sudo.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${DOZOZEDA_BUILD_DIR:-$repo/build/release}"

"$repo/scripts/install-deps.sh" build
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target dozozeda
exec "$build/dozozeda"
