#!/usr/bin/env bash
# check-deb.sh PACKAGE.deb
#
# The Debian package as Debian and its users meet it. lintian finds no
# error; the desktop entry and the AppStream metadata validate; every
# program has its man page and every icon the size its folder names. Then,
# as root on a machine without Dozozeda installed, apt installs it: every
# installed program gives the package's version, the window program opens
# its main window on a headless X server and closes with Alt+F4, and purging
# the package leaves none of its files.
set -euo pipefail
# shellcheck source=../support/x-session.sh
source "$(dirname "$0")/../support/x-session.sh"
deb=$(realpath "$1")
work=$(mktemp -d)
xvfb_pid="" app_pid="" installed_here=""
cleanup() {
    [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "$installed_here" ] && apt-get purge -y -qq dozozeda >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Warnings are printed for the record; only errors fail.
report=$(lintian --fail-on error "$deb" 2>/dev/null) || fail "lintian reports errors: $report"
echo "lintian $(basename "$deb"): ${report:-no errors, no warnings}"

root=$work/root
dpkg-deb -x "$deb" "$root"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >/dev/null \
    || fail "appstreamcli: $(appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml)"
desktop-file-validate "$root"/usr/share/applications/dozozeda.desktop || fail "desktop-file-validate"
programs=$(ls "$root/usr/bin")
for program in $programs; do
    [ -f "$root/usr/share/man/man1/$program.1.gz" ] || fail "$program has no man page"
done
for icon in "$root"/usr/share/icons/hicolor/*/apps/dozozeda.png; do
    size=$(basename "$(dirname "$(dirname "$icon")")")
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r width height < <(od -An -tu1 -j16 -N8 "$icon" \
        | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "${width}x${height}" = "$size" ] || fail "the icon in $size is ${width}x${height}"
done
echo "The package's files: lintian, appstreamcli and desktop-file-validate pass; man pages and icons as expected"

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: installing the package needs root"
    exit 0
fi
if dpkg-query -W -f='${Status}' dozozeda 2>/dev/null | grep -q "ok installed"; then
    echo "skipped: Dozozeda is installed on this machine, and this check would remove it"
    exit 0
fi

# apt, quiet unless it fails.
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -qq "$@" >"$work/apt.log" 2>&1 || fail "apt-get $*: $(cat "$work/apt.log")"
}

installed_here=yes
apt_get install "$deb"
files=$(dpkg -L dozozeda)

# The version the programs show is the package's, in their own form.
IFS=. read -r major minor patch build <<<"$(dpkg-query -W -f='${Version}' dozozeda)"
version=$(printf '%d.%02d.%04d' "$major" "$minor" "$build")
for program in $programs; do
    first=$(env -u DISPLAY -u WAYLAND_DISPLAY "/usr/bin/$program" --version | head -n 1)
    [ "$first" = "$program (Dozozeda) $version" ] || fail "$program --version printed: $first (patch $patch)"
done

# As a user would start it: from the menu's command, with a home of its own.
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
start_xvfb "$work"
(cd "$work/home" && HOME=$work/home XDG_RUNTIME_DIR=$work/runtime \
    env -u QT_QPA_PLATFORM -u XDG_DATA_HOME -u XDG_CONFIG_HOME dozozeda) &
app_pid=$!
main=$(main_window)
[ -n "$main" ] || fail "the installed dozozeda showed no main window"
sleep 0.3
xdotool windowfocus "$main"
# The window is gone before the keys are released; xdotool complains.
xdotool key --window "$main" alt+F4 2>/dev/null || true
timeout 10 tail --pid="$app_pid" -f /dev/null || fail "Alt+F4 did not close the installed dozozeda"
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the installed dozozeda ended with status $status"
echo "Installed: ${programs//$'\n'/ } gave version $version; the main window opened and closed with Alt+F4"

apt_get purge dozozeda
installed_here=""
state=$(dpkg-query -W -f='${db:Status-Status}' dozozeda 2>/dev/null || true)
[ -z "$state" ] || [ "$state" = not-installed ] || fail "dpkg still has dozozeda as $state"
while read -r path; do
    [ -d "$path" ] && [ "$path" != /usr/share/doc/dozozeda ] && continue
    [ ! -e "$path" ] || fail "purging left $path"
done <<<"$files"
echo "Purged: none of its files is left"
