#!/bin/bash
# run.sh BENCH_PROGRAM [ARGS...]
#
# Serves the SMB shares of tests/realshare/share.sh, runs the benchmark
# against them with their folders in its environment, and takes them down
# again whatever happens. Exits 77 when this machine cannot host the shares.
set -euo pipefail

[[ $# -ge 1 ]] || { echo "usage: run.sh BENCH_PROGRAM [ARGS...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
share=$here/../../tests/realshare/share.sh

reason=$("$share" check) || { rc=$?; echo "skipped: $reason"; exit "$rc"; }

state=$(mktemp -d /tmp/dozozeda-bench-XXXXXX)
trap '"$share" down "$state" || echo "run.sh: could not take the share down ($state)" >&2' EXIT
trap 'exit 130' INT TERM HUP

"$share" up "$state"
set -a
# shellcheck disable=SC1091
source "$state/env"
set +a
export DOZOZEDA_SHARE_STATE=$state
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

rc=0
"$@" || rc=$?
exit "$rc"
