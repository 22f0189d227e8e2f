#!/usr/bin/env bash
# check-zip.sh WINDOWS-BUILD-DIR ZIP
#
# The Windows zip as its user meets it; run inside the Wine session of
# scripts/windows-tests.sh. It holds the programs the build made, README.txt
# and LICENSE.txt in CR LF, and nothing else; each program imports only
# system DLLs; and Dozozeda.exe from it, started under Wine, shows its main
# window and ends when Alt+F4 closes it (the win32_tests case that does
# this, run on the unpacked copy).
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(realpath "$1") zip=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cmake -E tar xf "$zip")
expected="Dozozeda.exe LICENSE.txt README.txt"
if [ -n "$(find "$build" -name dozozeda-cli.exe -not -path '*/_CPack_Packages/*' -print -quit)" ]; then
    expected="$expected dozozeda-cli.exe"
fi
found=$(cd "$work" && find . -type f | sed 's#^\./##' | sort | xargs)
[ "$found" = "$(tr ' ' '\n' <<<"$expected" | sort | xargs)" ] || fail "$(basename "$zip") holds $found, not $expected"

for text in README.txt LICENSE.txt; do
    grep -q $'\r$' "$work/$text" && ! grep -q $'[^\r]$' "$work/$text" || fail "$text has lines not ending in CR LF"
done
for exe in "$work"/*.exe; do
    cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DEXE="$exe" -P "$repo/tests/windows/CheckImports.cmake" >/dev/null \
        || fail "$(basename "$exe") imports more than system DLLs"
done

run=$(DOZOZEDA_EXE="$work/Dozozeda.exe" /usr/lib/wine/wine64 "$build/tests/win32/win32_tests.exe" \
    --gtest_filter='*ClosingTheProgram*AltF4*' </dev/null 2>&1) || fail "Dozozeda.exe from the zip: $run"
grep -q '^\[  PASSED  \] 1 test' <<<"$run" || fail "the Alt+F4 case did not run: $run"
echo "$(basename "$zip"): $found; Dozozeda.exe from it showed its main window and closed with Alt+F4"
