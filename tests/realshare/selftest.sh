#!/bin/bash
# Checks that share.sh gives a share that behaves like a real one: shaped
# rate, disk full, read-only share, read-only flip, link cut and recovery,
# gvfs beside smbnetfs, and a teardown that leaves nothing behind. Exit 77 when the machine can't host it.
# Takes about 30 s.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
share=$here/share.sh
rate_mbit=100

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
"$share" smbnetfs "$state" off
if findmnt -rn --mountpoint "$SHARE_MOUNT" >/dev/null; then bad "smbnetfs still mounted after off"; else ok "smbnetfs off"; fi
"$share" smbnetfs "$state" on
if [[ -d "$SHARE_DATA" ]] && touch "$SHARE_DATA/back" && rm "$SHARE_DATA/back"; then
    ok "smbnetfs back on"
else
    bad "smbnetfs not usable after on"
fi

# Teardown leaves nothing, gvfs included.
t=$(now)
"$share" down "$state"
echo "down took $(since "$t") s"
trap - EXIT
left=""
[[ ! -e "$state" ]] || left+=" state folder;"
ip netns list | grep -qE "^($SERVER_NS|$CLIENT_NS)( |$)" && left+=" namespaces;"
findmnt -rn -o TARGET | grep -qF "$state" && left+=" mounts;"
pgrep -f -- "$state" >/dev/null && left+=" processes;"
if [[ -z "$left" ]]; then ok "nothing left after down"; else bad "left after down:$left"; fi

((failures == 0)) || { echo "$failures failure(s)"; exit 1; }
echo "all passed"
