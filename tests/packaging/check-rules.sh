#!/usr/bin/env bash
# check-rules.sh
#
# The Prometheus rules the command line's package ships: promtool finds them
# valid, and they fire, or stay quiet, on the series written in
# dozozeda.rules.test.yml.
set -euo pipefail
if ! command -v promtool >/dev/null; then
    echo "skipped: promtool is missing (Debian package prometheus; scripts/install-deps.sh test)"
    exit 77
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
promtool check rules "$here/../../packaging/prometheus/dozozeda.rules.yml"
# The test file names the rules relative to itself.
promtool test rules "$here/dozozeda.rules.test.yml"
