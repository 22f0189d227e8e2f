#!/usr/bin/env bash
# Installs the Debian packages a task needs, if any are missing.
#   scripts/install-deps.sh build|test|windows|screenshots|package|package-checks ...
# Runs apt-get directly as root, through sudo otherwise; without either it
# names what is missing and fails.
set -euo pipefail

packages_for() {
    case "$1" in
        build) echo cmake g++ make qt6-base-dev libgl-dev fonts-liberation2 ;;
        # python3-jsonschema checks the command line's JSON against its
        # schema; promtool (prometheus) and node_exporter read its metrics.
        test) echo googletest libgtest-dev xvfb xauth xdotool python3-jsonschema prometheus prometheus-node-exporter ;;
        windows) echo cmake make wine wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest xvfb xauth fonts-wine python3-jsonschema ;;
        screenshots) echo xvfb xauth xdotool x11-apps imagemagick ;;
        package) echo dpkg-dev file ;;
        package-checks) echo lintian appstream desktop-file-utils xvfb xauth xdotool ;;
        *) echo "unknown package set: $1" >&2; exit 2 ;;
    esac
}

wanted=()
for set in "$@"; do
    list="$(packages_for "$set")" || exit 2
    read -r -a names <<<"$list"
    wanted+=("${names[@]}")
done

missing=()
for name in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$name")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Run this command again as root or with sudo, or install them yourself." >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Test tools only: their package scripts must not start Prometheus or
# node_exporter as services on this machine.
guard=""
if [ ! -e /usr/sbin/policy-rc.d ]; then
    guard=/usr/sbin/policy-rc.d
    printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$guard" >/dev/null
    "${sudo[@]}" chmod 755 "$guard"
fi
rc=0
{ "${sudo[@]}" apt-get update -qq &&
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; } || rc=$?
[ -z "$guard" ] || "${sudo[@]}" rm -f "$guard"
exit "$rc"
