#!/bin/bash
# selftest.sh [RELAY_PROGRAM]
#
# Checks that share.sh gives a share that behaves like a real one: shaped
# rate, added delay, disk full, read-only share, read-only flip, link cut and
# recovery, gvfs beside smbnetfs, and a teardown that leaves nothing behind.
# Exit 77 when the machine can't host it. Takes about 45 s. The relay is
# RELAY_PROGRAM, or DOZOZEDA_SHARE_RELAY when not given
# (<build>/tests/realshare/realshare_relay).
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
share=$here/share.sh
rate_mbit=100
DOZOZEDA_SHARE_RELAY=${1:-${DOZOZEDA_SHARE_RELAY:-}}
[[ -x "$DOZOZEDA_SHARE_RELAY" ]] ||
    { echo "usage: selftest.sh RELAY_PROGRAM (or set DOZOZEDA_SHARE_RELAY)" >&2; exit 2; }
export DOZOZEDA_SHARE_RELAY

reason=$("$share" check gvfs) || { rc=$?; echo "skipped: $reason"; exit "$rc"; }

state=$(mktemp -d /tmp/dozozeda-share-XXXXXX)
trap '"$share" down "$state" || true' EXIT

failures=0
ok() { echo "ok   $*"; }
bad() { echo "FAIL $*"; failures=$((failures + 1)); }
now() { echo "$EPOCHREALTIME"; }
since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }'; }
between() { awk -v x="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(x >= lo && x <= hi) }'; }

t=$(now)
"$share" up "$state" "$rate_mbit"
echo "up took $(since "$t") s"
# shellcheck disable=SC1091
source "$state/env"

# Rate: shaping must hold the copy near the link rate, not above it.
mib=100
t=$(now)
dd if=/dev/zero of="$SHARE_DATA/rate" bs=1M count=$mib conv=fsync status=none
secs=$(since "$t")
ratio=$(awk -v m=$mib -v s="$secs" -v r=$rate_mbit 'BEGIN { printf "%.3f", m * 8 * 1.048576 / s / r }')
echo "$mib MiB in $secs s = $(awk -v m=$mib -v s="$secs" 'BEGIN { printf "%.2f", m / s }') MiB/s, goodput/link $ratio"
if between "$ratio" 0.80 0.99; then ok "rate within link"; else bad "goodput/link $ratio outside 0.80-0.99"; fi
if [[ $(stat -c %s "$SHARE_DATA_SERVER_DIR/rate") -eq $((mib << 20)) ]] &&
   cmp -s -n $((mib << 20)) "$SHARE_DATA_SERVER_DIR/rate" /dev/zero; then
    ok "copy arrived intact"
else
    bad "copy differs on the server"
fi
rm -f "$SHARE_DATA/rate"

# Delay. The quickest of ten TCP connects to smbd from the client's
# namespace takes one round trip: never less than the delay, and on a busy
# machine not much more.
connect_ms() {
    # shellcheck disable=SC2016
    nsenter --net="/run/netns/$CLIENT_NS" bash -c '
        best=""
        for _ in {1..10}; do
            t=$EPOCHREALTIME
            exec 3<>"/dev/tcp/$0/445"
            ms=$(awk -v a="$t" -v b="$EPOCHREALTIME" "BEGIN { printf \"%.3f\", (b - a) * 1000 }")
            exec 3>&-
            [[ -z "$best" ]] || awk -v x="$ms" -v y="$best" "BEGIN { exit !(x < y) }" && best=$ms
        done
        echo "$best"' "$SERVER_IP"
}
relay_pid() { sed -n 's/^RELAY_PID=//p' "$state/harness/state" | tail -n 1; }
for rtt in 2 10; do
    "$share" delay "$state" "$rtt"
    ms=$(connect_ms)
    if between "$ms" "$rtt" "$((rtt + 3))"; then
        ok "round trip $ms ms with $rtt ms set"
    else
        bad "round trip $ms ms with $rtt ms set"
    fi
done
"$share" delay "$state" 2
head -c $((20 << 20)) /dev/urandom >"$state/random"
if dd if="$state/random" of="$SHARE_DATA/delayed" bs=1M conv=fsync status=none &&
   cmp -s "$state/random" "$SHARE_DATA_SERVER_DIR/delayed"; then
    ok "a copy through the relay arrives byte for byte"
else
    bad "a copy through the relay differs on the server"
fi
if grep -qx 'dropped_queue_full=0' "$state/harness/relay.status" &&
   grep -qx 'write_failures=0' "$state/harness/relay.status"; then
    ok "the relay lost no packet"
else
    bad "the relay lost packets: $(tr '\n' ' ' <"$state/harness/relay.status")"
fi
# Changed and switched off and on under a running copy: the connection
# survives, and a relay started again is the one that `off` stops.
dd if="$state/random" of="$SHARE_DATA/switched" bs=1M conv=fsync status=none &
dd_pid=$!
for rtt in 10 0.5 off 4 off 2; do sleep 0.3; "$share" delay "$state" "$rtt"; done
if wait "$dd_pid" && cmp -s "$state/random" "$SHARE_DATA_SERVER_DIR/switched"; then
    ok "a copy survives the delay changing under it"
else
    bad "a copy failed or differs after the delay changed under it"
fi
relay=$(relay_pid)
"$share" delay "$state" off
left=""
[[ -n "$relay" ]] && [[ "$(awk '{print $3}' "/proc/$relay/stat" 2>/dev/null)" =~ ^[^Z]$ ]] && left+=" relay;"
ip -n "$CLIENT_NS" link show dev "$CLIENT_TUN" >/dev/null 2>&1 && left+=" client TUN;"
ip -n "$SERVER_NS" link show dev "$SERVER_TUN" >/dev/null 2>&1 && left+=" server TUN;"
[[ -n "$(ip -n "$CLIENT_NS" route show "$SERVER_IP/32")$(ip -n "$SERVER_NS" route show "$CLIENT_IP/32")" ]] && left+=" routes;"
if [[ -z "$left" ]]; then ok "delay off leaves no relay"; else bad "left after delay off:$left"; fi
ms=$(connect_ms)
if between "$ms" 0 1.5; then ok "round trip $ms ms without delay"; else bad "round trip $ms ms without delay"; fi
rm -f "$SHARE_DATA/delayed" "$SHARE_DATA/switched" "$state/random"
# On again: the cut below must cut the relay's path too, `restore` bring it
# back, and `down` take it away.
"$share" delay "$state" 2

# Disk full on the 30 MiB share.
if out=$(dd if=/dev/zero of="$SHARE_SMALL/full" bs=1M count=100 conv=fsync 2>&1); then
    bad "100 MB into the small share succeeded"
elif [[ "$out" == *"No space left on device"* ]]; then
    ok "ENOSPC on the small share after $(stat -c %s "$SHARE_SMALL_SERVER_DIR/full") bytes"
else
    bad "small share: unexpected error: $out"
fi
rm -f "$SHARE_SMALL/full"

# Read-only share.
if out=$(touch "$SHARE_RO/f" 2>&1); then
    bad "created a file on the read-only share"
elif [[ "$out" == *"Permission denied"* ]]; then
    ok "EACCES on the read-only share"
else
    bad "ro share: unexpected error: $out"
fi

# A delete that fails after a complete copy.
dd if=/dev/zero of="$SHARE_DATA/kept" bs=1M count=1 conv=fsync status=none
"$share" readonly "$state" data on
if out=$(rm "$SHARE_DATA/kept" 2>&1); then
    bad "delete succeeded on a read-only data share"
else
    ok "delete refused while read-only (${out##*: })"
fi
"$share" readonly "$state" data off
if rm "$SHARE_DATA/kept"; then ok "delete works again"; else bad "delete still fails after readonly off"; fi

# Link cut in the middle of a copy: the writer must get an error, not hang.
dd if=/dev/zero of="$SHARE_DATA/cut" bs=1M count=100 conv=fsync 2>"$state/cut.err" &
dd_pid=$!
sleep 2
"$share" cut "$state"
t=$(now)
dd_rc=0
wait "$dd_pid" || dd_rc=$?
secs=$(since "$t")
if ((dd_rc != 0)) && between "$secs" 3 15; then
    ok "copy failed $secs s after the cut: $(grep -o 'error writing.*' "$state/cut.err" | sed 's/.*: //')"
else
    bad "after the cut dd exited $dd_rc after $secs s"
fi
t=$(now)
"$share" restore "$state"
echo "restore took $(since "$t") s"
if dd if=/dev/zero of="$SHARE_DATA/after" bs=1M count=10 conv=fsync status=none; then
    ok "write works after restore"
else
    bad "write fails after restore"
fi
ms=$(connect_ms)
if between "$ms" 2 5; then
    ok "the delay is back after restore ($ms ms)"
else
    bad "round trip $ms ms after restore, 2 ms set"
fi
rm -f "$SHARE_DATA/after"
# The interrupted file stays locked until the server drops the old session.
n=0
until rm -f "$SHARE_DATA/cut" 2>/dev/null; do
    ((++n < 60)) || break
    sleep 0.5
done
echo "partial file removable after $((n * 5 / 10)) s"

# The clients the share-address tests switch: gvfs mounts `data` beside
# smbnetfs, and smbnetfs goes away and comes back.
"$share" gvfs-up "$state" data
# shellcheck disable=SC1091
source "$state/gvfs-env"
if echo gvfs >"$GVFS_SHARE/through-gvfs" && [[ "$(cat "$SHARE_DATA_SERVER_DIR/through-gvfs")" == gvfs ]]; then
    ok "a file written through gvfs arrives"
else
    bad "gvfs does not write to the server"
fi
rm -f "$GVFS_SHARE/through-gvfs"
"$share" delay "$state" off
if echo direct >"$GVFS_SHARE/after-switch" && [[ "$(cat "$SHARE_DATA_SERVER_DIR/after-switch")" == direct ]]; then
    ok "gvfs goes on writing after the delay is switched off"
else
    bad "gvfs does not write after the delay is switched off"
fi
rm -f "$GVFS_SHARE/after-switch"
"$share" delay "$state" 2
"$share" smbnetfs "$state" off
if findmnt -rn --mountpoint "$SHARE_MOUNT" >/dev/null; then bad "smbnetfs still mounted after off"; else ok "smbnetfs off"; fi
"$share" smbnetfs "$state" on
if [[ -d "$SHARE_DATA" ]] && touch "$SHARE_DATA/back" && rm "$SHARE_DATA/back"; then
    ok "smbnetfs back on"
else
    bad "smbnetfs not usable after on"
fi

# Teardown leaves nothing, gvfs and the relay included.
relay=$(relay_pid)
t=$(now)
"$share" down "$state"
echo "down took $(since "$t") s"
trap - EXIT
left=""
[[ ! -e "$state" ]] || left+=" state folder;"
ip netns list | grep -qE "^($SERVER_NS|$CLIENT_NS)( |$)" && left+=" namespaces;"
findmnt -rn -o TARGET | grep -qF "$state" && left+=" mounts;"
pgrep -f -- "$state" >/dev/null && left+=" processes;"
[[ -n "$relay" && -e /proc/$relay ]] && left+=" relay;"
if [[ -z "$left" ]]; then ok "nothing left after down"; else bad "left after down:$left"; fi

((failures == 0)) || { echo "$failures failure(s)"; exit 1; }
echo "all passed"
