#!/usr/bin/env bash
# check-units.sh BUILD-DIR | dozozeda-cli_*.deb
#
# The command line's systemd units as systemd reads them: installed from the
# build folder (its "cli" component) or unpacked from the package, beside the
# units of the systemd on this machine, "systemd-analyze verify" accepts the
# service and the timer for a share named nas-media, without a word: with
# the program the service starts where it says, and every setting known.
set -euo pipefail
if ! command -v systemd-analyze >/dev/null; then
    echo "skipped: systemd-analyze is missing (Debian package systemd)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root=$work/root
if [ -d "$1" ]; then
    DESTDIR=$root cmake --install "$1" --component cli >/dev/null
else
    dpkg-deb -x "$1" "$root"
fi
# The targets and units the templates are read against.
mkdir -p "$root/lib/systemd"
cp -a /lib/systemd/system "$root/lib/systemd/"

units=(dozozeda-cli@nas-media.service dozozeda-cli@nas-media.timer)
status=0
# Documentation=man:dozozeda-cli(1) is looked up by man, in the installed pages.
report=$(cd "$work" && MANPATH=$root/usr/share/man:$root/usr/local/share/man \
    systemd-analyze verify --root="$root" "${units[@]}" 2>&1) || status=$?
[ "$status" -eq 0 ] && [ -z "$report" ] || fail "systemd-analyze verify ${units[*]} (status $status): $report"
echo "systemd-analyze verify accepts ${units[*]}"
