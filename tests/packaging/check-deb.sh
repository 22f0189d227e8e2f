#!/usr/bin/env bash
# check-deb.sh dozozeda_*.deb dozozeda-cli_*.deb
#
# The Debian packages as Debian and their users meet them. lintian finds no
# error and no warning in either; every program has its man page. The
# window's package: its desktop entry and AppStream metadata validate, every
# icon has the size its folder names, and it depends on the command line's
# package of its own version. The command line's package: it depends on no
# Qt, X or OpenGL library and its program links none; it holds the JSON
# schema, the alert rules, the systemd units, which systemd-analyze accepts
# (check-units.sh), and the example of a share's settings as a conffile.
# Then, as root on a machine without Dozozeda installed, apt installs the
# command line alone, which gives the version, then the window, which opens
# its main window on a headless X server and closes with Alt+F4; purging
# both leaves none of their files.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../support/x-session.sh
source "$here/../support/x-session.sh"
work=$(mktemp -d)
xvfb_pid="" app_pid="" installed_here=""
cleanup() {
    [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "$installed_here" ] && apt-get purge -y -qq dozozeda dozozeda-cli >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

window_deb="" cli_deb=""
for deb in "$@"; do
    case "$(dpkg-deb -f "$deb" Package)" in
        dozozeda) window_deb=$(realpath "$deb") ;;
        dozozeda-cli) cli_deb=$(realpath "$deb") ;;
        *) fail "$deb is neither dozozeda nor dozozeda-cli" ;;
    esac
done
[ -n "$window_deb" ] && [ -n "$cli_deb" ] || fail "give both packages, dozozeda and dozozeda-cli"
version=$(dpkg-deb -f "$cli_deb" Version)

programs=""
for deb in "$window_deb" "$cli_deb"; do
    report=$(lintian --fail-on error,warning "$deb" 2>/dev/null) || fail "lintian: $report"
    echo "lintian $(basename "$deb"): ${report:-no errors, no warnings}"
    root=$work/$(dpkg-deb -f "$deb" Package)
    dpkg-deb -x "$deb" "$root"
    for program in $(ls "$root/usr/bin"); do
        [ -f "$root/usr/share/man/man1/$program.1.gz" ] || fail "$program has no man page"
        programs="$programs $program"
    done
done

window=$work/dozozeda
appstreamcli validate --no-net "$window"/usr/share/metainfo/*.metainfo.xml >/dev/null \
    || fail "appstreamcli: $(appstreamcli validate --no-net "$window"/usr/share/metainfo/*.metainfo.xml)"
desktop-file-validate "$window"/usr/share/applications/dozozeda.desktop || fail "desktop-file-validate"
for icon in "$window"/usr/share/icons/hicolor/*/apps/dozozeda.png; do
    size=$(basename "$(dirname "$(dirname "$icon")")")
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r width height < <(od -An -tu1 -j16 -N8 "$icon" \
        | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "${width}x${height}" = "$size" ] || fail "the icon in $size is ${width}x${height}"
done
depends=$(dpkg-deb -f "$window_deb" Depends)
grep -q "\(^\|, \)dozozeda-cli (= $version)\(,\|$\)" <<<"$depends" \
    || fail "dozozeda does not depend on dozozeda-cli (= $version): $depends"

cli=$work/dozozeda-cli
depends=$(dpkg-deb -f "$cli_deb" Depends)
! grep -q -i -E 'qt|libx|libgl|libegl|xcb|wayland' <<<"$depends" \
    || fail "dozozeda-cli depends on a graphical library: $depends"
needed=$(readelf -d "$cli/usr/bin/dozozeda-cli" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | xargs)
! grep -q -i -E 'qt|libx|libgl|libegl|xcb|wayland' <<<"$needed" \
    || fail "dozozeda-cli links a graphical library: $needed"
for file in usr/share/dozozeda-cli/dozozeda-cli.schema.json \
    usr/share/dozozeda-cli/prometheus/dozozeda.rules.yml \
    lib/systemd/system/dozozeda-cli@.service lib/systemd/system/dozozeda-cli@.timer \
    etc/dozozeda-cli/example.conf.sample; do
    [ -f "$cli/$file" ] || fail "dozozeda-cli has no /$file"
done
dpkg-deb --ctrl-tarfile "$cli_deb" | tar -xO ./conffiles | grep -qx /etc/dozozeda-cli/example.conf.sample \
    || fail "/etc/dozozeda-cli/example.conf.sample is not a conffile"
"$here/check-units.sh" "$cli_deb"
echo "The packages' files: lintian, appstreamcli, desktop-file-validate and systemd-analyze pass;" \
    "dozozeda-cli needs only $needed; man pages, icons and the command line's files as expected"

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: installing the packages needs root"
    exit 0
fi
for package in dozozeda dozozeda-cli; do
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        echo "skipped: $package is installed on this machine, and this check would remove it"
        exit 0
    fi
done

# apt, quiet unless it fails.
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -qq "$@" >"$work/apt.log" 2>&1 || fail "apt-get $*: $(cat "$work/apt.log")"
}
# The version the programs show is the package's, in their own form.
IFS=. read -r major minor patch build <<<"$version"
shown=$(printf '%d.%02d.%04d' "$major" "$minor" "$build")
check_version() {
    local first
    first=$(env -u DISPLAY -u WAYLAND_DISPLAY "/usr/bin/$1" --version | head -n 1)
    [ "$first" = "$1 (Dozozeda) $shown" ] || fail "$1 --version printed: $first (patch $patch)"
}

installed_here=yes
apt_get install "$cli_deb"
dpkg-query -W -f='${Status}' dozozeda 2>/dev/null | grep -q "ok installed" && fail "installing dozozeda-cli installed dozozeda"
check_version dozozeda-cli
apt_get install "$window_deb"
files=$(dpkg -L dozozeda dozozeda-cli)
for program in $programs; do
    check_version "$program"
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
echo "Installed: dozozeda-cli alone, then dozozeda;${programs} gave version $shown;" \
    "the main window opened and closed with Alt+F4"

apt_get purge dozozeda dozozeda-cli
installed_here=""
for package in dozozeda dozozeda-cli; do
    state=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ -z "$state" ] || [ "$state" = not-installed ] || fail "dpkg still has $package as $state"
done
# Folders shared with other packages stay; the packages' own go.
while read -r path; do
    [ -d "$path" ] && [[ "$path" != *dozozeda* ]] && continue
    [ ! -e "$path" ] || fail "purging left $path"
done <<<"$files"
echo "Purged: none of their files is left"
