#!/bin/bash
# run-tests.sh [--gvfs] TEST_PROGRAM [ARGS...]
#
# Serves the shares at 100 Mbit/s, runs the test program against them with
# their folders in its environment (see share.sh's env file, plus
# DOZOZEDA_SHARE_STATE for the test's own calls to share.sh), and takes them
# down again whatever happens. It sees no other smbnetfs mount of this
# machine (see below). With --gvfs, gvfs mounts `data` as well and its
# env file is added (XDG_RUNTIME_DIR, GVFS_SHARE). Exits 77, which ctest
# reports as skipped, when this machine cannot host the shares; otherwise with
# the program's status.
#
# DOZOZEDA_SHARE_RELAY, the relay program (ctest sets it to the one it
# built), goes on to the test, whose `share.sh delay` calls need it.
set -euo pipefail

gvfs=()
if [[ "${1:-}" == --gvfs ]]; then
    gvfs=(gvfs)
    shift
fi
[[ $# -ge 1 ]] || { echo "usage: run-tests.sh [--gvfs] TEST_PROGRAM [ARGS...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
share=$here/share.sh

reason=$("$share" check "${gvfs[@]}") || { rc=$?; echo "skipped: $reason"; exit "$rc"; }
if [[ -n "${DOZOZEDA_SHARE_RELAY:-}" ]]; then
    [[ -x "$DOZOZEDA_SHARE_RELAY" ]] ||
        { echo "run-tests.sh: DOZOZEDA_SHARE_RELAY=$DOZOZEDA_SHARE_RELAY is not a program" >&2; exit 2; }
    export DOZOZEDA_SHARE_RELAY
fi

state=$(mktemp -d /tmp/dozozeda-realshare-XXXXXX)
trap '"$share" down "$state" || echo "run-tests.sh: could not take the share down ($state)" >&2' EXIT
# Turn a signal into a normal exit so the EXIT trap still takes the share down.
trap 'exit 130' INT TERM HUP

"$share" up "$state" 100
((${#gvfs[@]} == 0)) || "$share" gvfs-up "$state" data
set -a
# shellcheck disable=SC1091
source "$state/env"
# shellcheck disable=SC1091
((${#gvfs[@]} == 0)) || source "$state/gvfs-env"
set +a
export DOZOZEDA_SHARE_STATE=$state
# Without --gvfs, no desktop's gvfs either: the lookup sees an empty folder.
if ((${#gvfs[@]} == 0)); then
    export XDG_RUNTIME_DIR=$state/no-gvfs
    mkdir -p "$XDG_RUNTIME_DIR"
fi

# The program runs in a mount namespace of its own in which every smbnetfs
# mount but this share's is gone: another one (a second harness, a user's)
# serves any address, its own server of the same address included, and the
# program would be right to use it. What the program mounts or unmounts
# through share.sh stays in its namespace too.
rc=0
unshare --mount --propagation private -- "$here/own-mounts-only.sh" "$SHARE_MOUNT" "$@" || rc=$?
exit "$rc"
