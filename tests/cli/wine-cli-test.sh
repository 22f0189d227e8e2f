#!/bin/bash
# dozozeda-cli.exe under Wine, run as a Windows user would from a console:
# writes and reads into the UNC share that scripts/windows-tests.sh serves,
# with its exit statuses, JSON checked against the documented schema, a
# local drive refused with --require-network and as a share address, the
# read's fallback, what a killed run left removed by the next, a file
# replaced, NUL written through, a folder refused, histories appended to (one
# at a time, and four at once), and a Unicode folder name through wmain.
#
#   wine-cli-test.sh WINE EXE SCHEMA
# Needs the environment of scripts/windows-tests.sh (WINEPREFIX,
# DOZOZEDA_TEST_UNC_SHARE and DOZOZEDA_TEST_UNC_FOLDER, the folder behind it).
# Wine has no redirector whose cache could be disabled, so the read falls
# back to whole unbuffered sectors; that it bypasses a cache cannot be seen
# here (Wine reads through the Linux page cache).
set -uo pipefail

wine=$1 exe=$2 schema=$3
share=${DOZOZEDA_TEST_UNC_SHARE:?run through scripts/windows-tests.sh}
folder=${DOZOZEDA_TEST_UNC_FOLDER:?run through scripts/windows-tests.sh}
work=$(mktemp -d "${TMPDIR:-/tmp}/dozozeda-wine-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what" >&2
        sed 's/^/  stderr: /' "$work/err" >&2
    fi
}

cli() { # cli ARGS...: status in $status, output in $work/out and $work/err
    status=0
    "$wine" "$exe" "$@" >"$work/out" 2>"$work/err" </dev/null || status=$?
}

valid_json() {
    /usr/bin/python3 -c 'import json, sys, jsonschema
jsonschema.Draft202012Validator(json.load(open(sys.argv[1]))).validate(json.load(open(sys.argv[2])))' "$schema" "$1"
}

json_field() { # json_field FILE PYTHON-EXPRESSION-ON-r
    /usr/bin/python3 -c 'import json, sys; r = json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$1" "$2"
}

nothing_left() {
    [[ -z "$(ls -A "$folder")" ]] && ! compgen -G "$WINEPREFIX/drive_c/users/*/Temp/dozozeda-cli-*" >/dev/null
}

cli --version
check "--version" [ "$status" = 0 ]
check "--version names the program" grep -qx 'dozozeda-cli (Dozozeda) [0-9.]*' "$work/out"

cli --size 5 "$share"
check "a usage error exits 2" [ "$status" = 2 ]
check "a usage error says how to get help" grep -q "Try 'dozozeda-cli --help'" "$work/err"

mkdir -p "$folder/Ωmega"
cli -s 10 -n 2 -f json "$share\\Ωmega"
check "a write into a UNC folder exits 0" [ "$status" = 0 ]
check "its JSON follows the schema" valid_json "$work/out"
check "the Unicode folder name arrives whole" [ "$(json_field "$work/out" 'r["parameters"]["target"]')" = "$share\\Ωmega" ]
check "it ran on Windows" [ "$(json_field "$work/out" 'r["host"]["os"]')" = windows ]
rmdir "$folder/Ωmega"
check "nothing is left on the share or in %TEMP%" nothing_left

# A UNC share is reached over the network; a folder on a drive is not one.
cli -s 10 -n 1 --require-network -f json "$share"
check "--require-network takes a UNC share" [ "$status" = 0 ]
check "whose file system is a network one" [ "$(json_field "$work/out" 'r["parameters"]["target_file_system"]["network"]')" = True ]
cli -s 10 -n 1 --require-network -f json 'C:\windows'
check "--require-network refuses a local drive" [ "$status" = 1 ]
check "before anything is written" [ "$(json_field "$work/out" 'r["error"]["stage"]')" = precheck ]
check "naming its file system" grep -q "is on a local file system" "$work/err"
# "\\?\C:\..." is the local drive: no share address may become one.
cli -s 10 -n 1 "smb://?/C:/windows"
check "a share address cannot name the local drive" [ "$status" = 1 ]
check "its server is refused" grep -q "is neither a host name nor an IP address" "$work/err"

cli -s 10 -n 2 --read -f json "$share"
check "a write and read into the UNC share exits 0" [ "$status" = 0 ]
check "its JSON follows the schema" valid_json "$work/out"
check "the read fell back to unbuffered sectors" \
    [ "$(json_field "$work/out" '[x["cache_bypass"] for x in r["runs"] if x["test"] == "read"]')" = "['no_buffering', 'no_buffering']" ]
check "Windows cannot tell what was cached before" \
    [ "$(json_field "$work/out" 'r["runs"][1]["resident_fraction_before"]')" = None ]
check "both directions have statistics" [ "$(json_field "$work/out" 'r["summary"]["read"]["runs"]')" = 2 ]
check "nothing is left after reading back" nothing_left

# What a killed run of this machine left (its process is gone) is removed by
# the next run, in the share and in %TEMP%; another machine's file is not.
copy=$(json_field "$work/out" 'r["parameters"]["copy_name"]')
host=${copy#dozozeda-}
host=${host%-*}
temp=$(compgen -G "$WINEPREFIX/drive_c/users/*/Temp" | head -n 1)
touch "$folder/dozozeda-$host-4000000.tmp" "$folder/dozozeda-not$host-4000000.tmp" \
    "$temp/dozozeda-cli-$host-4000000-1.tmp"
cli -s 10 -n 1 -f json "$share"
check "a run after a killed one exits 0" [ "$status" = 0 ]
check "it removed the killed run's copy and local test file" \
    [ "$(json_field "$work/out" 'len(r["cleanup"]["stale_removed"])')" = 2 ]
check "and said so" grep -q "removed what earlier runs of this machine had left" "$work/err"
check "another machine's file stays" [ -e "$folder/dozozeda-not$host-4000000.tmp" ]
rm -f "$folder/dozozeda-not$host-4000000.tmp"
check "nothing else is left" nothing_left
cli --suite -n 1 -s 10 --files 20 --file-size 4K --folders 15 --streams 2 --interval 0.5 -f json "$share"
check "the whole suite into the UNC share exits 0" [ "$status" = 0 ]
check "its JSON follows the schema" valid_json "$work/out"
check "every test ran, in order" \
    [ "$(json_field "$work/out" '[x["test"] for x in r["runs"]]')" = "['write', 'read', 'files', 'folders']" ]
check "both streams were written" [ "$(json_field "$work/out" 'len(r["runs"][0]["streams"])')" = 2 ]
check "the small files were read in unbuffered sectors" \
    [ "$(json_field "$work/out" 'r["runs"][2]["phases"][3]["cache_bypass"]')" = no_buffering ]
check "every folder was made, listed and removed" \
    [ "$(json_field "$work/out" '[p["operations"] for p in r["runs"][3]["phases"]]')" = "[15, 15, 15]" ]
check "nothing is left after the suite" nothing_left
# Waits that miss their wake-up where there are no futexes (libstdc++ 12's
# std::latch, and a condition variable's wait that a stop token ends) hung
# one process in a few dozen here: the streams' threads at their start, the
# watchdog at the program's end.
ended=0
for _ in $(seq 20); do
    timeout 30 "$wine" "$exe" -q -s 10 -n 1 --streams 2 "$share" </dev/null >/dev/null 2>&1 && ended=$((ended + 1))
done
check "twenty runs of two streams each end" [ "$ended" = 20 ]
check "and leave nothing" nothing_left

cli -s 10 -n 1 "$share\\missing"
check "a missing folder exits 1" [ "$status" = 1 ]
check "a missing folder is a path error" grep -q "Path error!" "$work/err"

windows_path() { # the path Wine's Z: drive gives a Linux path
    printf 'Z:%s' "${1//\//\\}"
}

for _ in 1 2; do
    cli -s 10 -n 1 -f prometheus -o "$(windows_path "$work/metrics.prom")" "$share"
    check "a metrics file is written" [ "$status" = 0 ]
done
check "the metrics file was replaced whole" [ "$(ls "$work" | grep -c metrics)" = 1 ]
check "it holds one success sample" [ "$(grep -c '^dozozeda_last_run_success{.*} 1$' "$work/metrics.prom")" = 1 ]

cli -s 10 -n 1 -f json -o NUL "$share"
check "NUL is written to, not replaced" [ "$status" = 0 ]
cli -s 10 -n 1 -f json -o "$(windows_path "$work")" "$share"
check "a folder is refused" grep -q "it is a folder" "$work/err"

# A row left without its line end, as a run killed mid-write leaves it.
printf 'schema_version,started_at\r\n1,2026-12-07T18:3' >"$work/history.csv"
for _ in 1 2; do
    cli -s 10 -n 1 -f csv -a -o "$(windows_path "$work/history.csv")" "$share"
done
check "a history keeps its one header" [ "$(grep -c '^schema_version,' "$work/history.csv")" = 1 ]
check "an append starts on a line of its own" grep -qx $'1,2026-12-07T18:3\r' "$work/history.csv"
check "and a row per run" [ "$(wc -l <"$work/history.csv")" = 4 ]
# RLIMIT_FSIZE just above the history's length (SIGXFSZ ignored) cuts the
# next append's write short.
cp "$work/history.csv" "$work/before.csv"
(
    trap '' XFSZ
    prlimit --fsize=$(($(stat -c %s "$work/history.csv") + 16)) "$wine" "$exe" -f csv -a \
        -o "$(windows_path "$work/history.csv")" "$share\\missing" </dev/null >/dev/null 2>"$work/err"
)
check "a failed append is cut off again" cmp -s "$work/history.csv" "$work/before.csv"
check "and says so" grep -q "the file was left as it was" "$work/err"
for _ in 1 2 3 4; do
    "$wine" "$exe" -q -s 10 -n 1 -f csv -a -o "$(windows_path "$work/together.csv")" "$share" </dev/null >/dev/null 2>&1 &
done
wait
check "four runs appending at once to a new history write one header" \
    [ "$(grep -c '^schema_version,' "$work/together.csv")" = 1 ]
check "and their four rows" [ "$(wc -l <"$work/together.csv")" = 5 ]
check "nothing is left after the files" nothing_left

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
