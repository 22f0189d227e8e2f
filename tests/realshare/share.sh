#!/bin/bash
# A real SMB share for integration tests: smbd in one network namespace,
# smbnetfs (FUSE) in another, a veth pair between them. The FUSE mount lives
# in the root mount namespace, so an ordinary process sees it as a folder
# while every packet stays on the pair. gvfs, GNOME's client, can mount a
# share as well, in the same client namespace.
#
#   share.sh check [gvfs]
#   share.sh up STATE_DIR [RATE_MBIT|off] [DELAY_MS]
#   share.sh rate STATE_DIR RATE_MBIT|off
#   share.sh delay STATE_DIR DELAY_MS|off
#   share.sh cut STATE_DIR [remote|local]
#   share.sh restore STATE_DIR
#   share.sh readonly STATE_DIR data|small on|off
#   share.sh smbnetfs STATE_DIR on|off
#   share.sh gvfs-up STATE_DIR SHARE
#   share.sh gvfs-down STATE_DIR
#   share.sh down STATE_DIR
#
# After `up`, STATE_DIR/env holds shell assignments (SHARE_DATA, ...); after
# `gvfs-up`, STATE_DIR/gvfs-env does (XDG_RUNTIME_DIR, GVFS_SHARE).
#
# DELAY_MS is the round trip added to the link, in milliseconds (up to three
# decimals). The kernel has no netem, so a user-space relay (realshare_relay,
# built beside the tests) carries the traffic then; DOZOZEDA_SHARE_RELAY
# names that program, and only a delay needs it.
set -euo pipefail

readonly SERVER_IP=10.213.77.1
readonly CLIENT_IP=10.213.77.2
readonly PREFIX_LEN=30
readonly SMALL_SIZE=30m
readonly MARKER=.dozozeda-share
# shellcheck disable=SC2034 # ensure_packages takes the arrays by name
readonly PACKAGES=(samba smbnetfs fuse3 iproute2)
# Commands we rely on, one per package above (plus util-linux, always there).
readonly COMMANDS=(smbd smbpasswd smbnetfs fusermount3 ip tc nsenter)
# Only gvfs-up needs these; Debian 12 has gio in libglib2.0-bin.
# shellcheck disable=SC2034
readonly GVFS_PACKAGES=(gvfs-backends gvfs-fuse libglib2.0-bin dbus)
readonly GVFSD=/usr/libexec/gvfsd
readonly GVFS_COMMANDS=("$GVFSD" gio dbus-daemon)

die() { echo "share.sh: $*" >&2; exit 1; }
log() { echo "share.sh: $*" >&2; }

usage() {
    sed -n 's/^#   \(share\.sh .*\)/\1/p' "$0" >&2
    exit 2
}

missing_commands() { # missing_commands [COMMAND...], COMMANDS by default
    local c out=()
    (($#)) || set -- "${COMMANDS[@]}"
    for c in "$@"; do
        PATH="$PATH:/usr/sbin:/sbin" command -v "$c" >/dev/null 2>&1 || out+=("$c")
    done
    echo "${out[*]}"
}

ensure_packages() { # ensure_packages PACKAGES_ARRAY COMMANDS_ARRAY
    local -n packages=$1 commands=$2
    [[ -z "$(missing_commands "${commands[@]}")" ]] && return 0
    command -v apt-get >/dev/null || die "missing: $(missing_commands "${commands[@]}"), and no apt-get"
    log "installing ${packages[*]}"
    # Keep the package scripts from starting the system smbd/nmbd: nmbd
    # would announce itself on the real network.
    local guard=""
    if [[ ! -e /usr/sbin/policy-rc.d ]]; then
        guard=/usr/sbin/policy-rc.d
        printf '#!/bin/sh\nexit 101\n' >"$guard"
        chmod 755 "$guard"
    fi
    local rc=0
    { DEBIAN_FRONTEND=noninteractive apt-get update -q &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${packages[@]}"; } >&2 || rc=$?
    [[ -n "$guard" ]] && rm -f "$guard"
    [[ $rc -eq 0 ]] || die "apt-get failed ($rc)"
    [[ -z "$(missing_commands "${commands[@]}")" ]] ||
        die "still missing after install: $(missing_commands "${commands[@]}")"
}

# ---------------------------------------------------------------- check

cmd_check() {
    skip() { echo "$*"; exit 77; }
    [[ $(id -u) -eq 0 ]] || skip "not root"
    [[ -c /dev/fuse ]] || skip "no /dev/fuse"
    grep -qw fuse /proc/filesystems 2>/dev/null || modprobe fuse 2>/dev/null ||
        skip "kernel has no fuse file system"
    # The relay of `delay` makes TUN devices.
    [[ -c /dev/net/tun ]] || skip "no /dev/net/tun (TUN devices, needed for a delay)"
    local missing
    if [[ "${1:-}" == gvfs ]]; then
        missing=$(missing_commands "${COMMANDS[@]}" "${GVFS_COMMANDS[@]}")
    else
        missing=$(missing_commands)
    fi
    if [[ -n "$missing" ]] && ! command -v apt-get >/dev/null; then
        skip "missing commands ($missing) and no apt-get to install them"
    fi
    # Without iproute2 yet, the kernel side can only be tried after `up` installs it.
    command -v ip >/dev/null || return 0
    # Try what `up` needs from the kernel in a throwaway namespace.
    local ns="dozo-chk-$$-$RANDOM" why=""
    if ! ip netns add "$ns" 2>/dev/null; then
        skip "ip netns add not permitted"
    fi
    if ! ip -n "$ns" link add dzchka type veth peer name dzchkb 2>/dev/null; then
        why="cannot create a veth pair"
    elif command -v tc >/dev/null &&
         ! tc -n "$ns" qdisc add dev dzchka root tbf rate 100mbit burst 65536 latency 20ms 2>/dev/null; then
        why="tbf queueing discipline not available"
    elif ! ip -n "$ns" tuntap add dev dzchkt mode tun 2>/dev/null; then
        why="cannot create a TUN device (needed for a delay)"
    fi
    ip netns del "$ns" 2>/dev/null || true
    [[ -z "$why" ]] || skip "$why"
    return 0
}

# ---------------------------------------------------------------- state

# Harness bookkeeping, kept apart from smbd's own pid directory.
state_file() { echo "$1/harness/state"; }

record() { # record STATE_DIR KEY VALUE
    printf '%s=%q\n' "$2" "$3" >>"$(state_file "$1")"
}

load_state() {
    local sd=$1 f
    f=$(state_file "$sd")
    SERVER_NS="" CLIENT_NS="" SERVER_IF="" CLIENT_IF="" MNT="" SMALL_DIR="" DATA_DIR=""
    SMBD_PID="" SMBNETFS_PID="" SMB_CONF="" PASSWORD="" GVFS_RUN=""
    SERVER_TUN="" CLIENT_TUN="" RELAY_PID="" RATE="" DELAY=""
    [[ -f "$f" ]] || return 1
    # shellcheck disable=SC1090
    source "$f"
}

ns_inode() { stat -L -c %i "/run/netns/$1" 2>/dev/null; }

# True if PID is alive and (when the namespace still exists) lives in it, so
# a recycled PID is never signalled.
pid_is_ours() { # pid_is_ours PID NS EXPECTED_COMM
    local pid=$1 ns=$2 comm=$3 ino
    [[ -n "$pid" && -d /proc/$pid ]] || return 1
    ino=$(ns_inode "$ns" || true)
    if [[ -n "$ino" ]]; then
        [[ "$(readlink "/proc/$pid/ns/net" 2>/dev/null)" == "net:[$ino]" ]]
    else
        [[ "$(cat "/proc/$pid/comm" 2>/dev/null)" == "$comm"* ]]
    fi
}

# A zombie counts as gone: our daemons are reparented to PID 1, which may take
# its time to reap them.
is_running() {
    local st
    st=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [[ -n "$st" && "$st" != Z ]]
}

wait_gone() { # wait_gone TENTHS PID...
    local n=$1 p alive
    shift
    while ((n-- > 0)); do
        alive=0
        for p in "$@"; do is_running "$p" && alive=1; done
        ((alive)) || return 0
        sleep 0.1
    done
    return 1
}

SIGNALLED=()

stop_pid() { # stop_pid PID NS COMM
    pid_is_ours "$1" "$2" "$3" || return 0
    SIGNALLED+=("$1")
    kill -TERM "$1" 2>/dev/null || true
    wait_gone 20 "$1" || kill -KILL "$1" 2>/dev/null || true
    wait_gone 20 "$1" || true
}

kill_ns_pids() { # everything still running inside one of our namespaces
    local ns=$1 pids
    [[ -n "$ns" && -e /run/netns/$ns ]] || return 0
    pids=$(ip netns pids "$ns" 2>/dev/null || true)
    [[ -n "$pids" ]] || return 0
    # shellcheck disable=SC2206
    SIGNALLED+=($pids)
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null || true
    # shellcheck disable=SC2086
    wait_gone 30 $pids || log "processes still alive in $ns: $pids"
}

is_mounted() { findmnt -rn --mountpoint "$1" >/dev/null 2>&1; }

unmount() { # unmount DIR, lazily if the file system is stuck
    local dir=$1
    is_mounted "$dir" || return 0
    timeout 5 umount "$dir" 2>/dev/null || timeout 5 umount -l "$dir" 2>/dev/null || true
    is_mounted "$dir" && log "could not unmount $dir"
    return 0
}

# Every process in the client namespace whose command name starts with
# COMM, or whose environment holds ENTRY.
client_pids() { # client_pids comm COMM | client_pids env ENTRY
    local pid
    [[ -n "$CLIENT_NS" && -e /run/netns/$CLIENT_NS ]] || return 0
    for pid in $(ip netns pids "$CLIENT_NS" 2>/dev/null); do
        is_running "$pid" || continue
        case $1 in
            comm) [[ "$(cat "/proc/$pid/comm" 2>/dev/null)" == "$2"* ]] && echo "$pid" ;;
            env) tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF -- "$2" && echo "$pid" ;;
        esac
    done
    return 0
}

kill_pids() { # kill_pids PID...: TERM, then KILL what is left
    (($#)) || return 0
    SIGNALLED+=("$@")
    kill -TERM "$@" 2>/dev/null || true
    wait_gone 20 "$@" || kill -KILL "$@" 2>/dev/null || true
    wait_gone 20 "$@" || log "still alive: $*"
}

# Gives PID 1 a moment to reap, so no zombie is left to see.
wait_reaped() {
    local n=40 p left
    while ((n-- > 0)); do
        left=0
        for p in "${SIGNALLED[@]}"; do [[ -e /proc/$p ]] && left=1; done
        ((left)) || break
        sleep 0.1
    done
}

# FUSE first: with the daemon gone, the mount would just return ENOTCONN.
stop_smbnetfs() {
    if [[ -n "$MNT" ]]; then
        is_mounted "$MNT" && { timeout 5 fusermount3 -u "$MNT" 2>/dev/null || true; }
        unmount "$MNT"
    fi
    stop_pid "$SMBNETFS_PID" "$CLIENT_NS" smbnetfs
    # shellcheck disable=SC2046
    kill_pids $(client_pids comm smbnetfs)
}

# gvfsd, gvfsd-fuse, the backends and the volume monitors that D-Bus started
# on the first `gio` call (reparented to PID 1) all carry our runtime folder
# in their environment; nothing else does.
stop_gvfs() { # stop_gvfs STATE_DIR
    [[ -n "$GVFS_RUN" ]] || return 0
    if is_mounted "$GVFS_RUN/gvfs"; then
        timeout 5 fusermount3 -u "$GVFS_RUN/gvfs" 2>/dev/null || true
        unmount "$GVFS_RUN/gvfs"
    fi
    # shellcheck disable=SC2046
    kill_pids $(client_pids env "XDG_RUNTIME_DIR=$GVFS_RUN")
    rm -rf --one-file-system "$GVFS_RUN" "$1/gvfs-env"
    record "$1" GVFS_RUN ""
    GVFS_RUN=""
}

# ---------------------------------------------------------------- down

cmd_down() {
    local sd=$1
    [[ -d "$sd" ]] || return 0
    sd=$(cd "$sd" && pwd)
    [[ -e "$sd/$MARKER" ]] || die "$sd was not made by share.sh up; not touching it"
    load_state "$sd" || true

    stop_gvfs "$sd"
    stop_smbnetfs
    stop_pid "$SMBD_PID" "$SERVER_NS" smbd
    stop_pid "$RELAY_PID" "$CLIENT_NS" realshare_relay
    kill_ns_pids "$CLIENT_NS"
    kill_ns_pids "$SERVER_NS"
    # Deleting a namespace takes its end of the veth pair with it.
    local ns
    for ns in "$CLIENT_NS" "$SERVER_NS"; do
        [[ -n "$ns" && -e /run/netns/$ns ]] && { ip netns del "$ns" 2>/dev/null || log "cannot delete namespace $ns"; }
    done
    [[ -n "$SMALL_DIR" ]] && unmount "$SMALL_DIR"
    [[ -n "$DATA_DIR" ]] && unmount "$DATA_DIR"

    # Refuse to recurse into anything still mounted below the state folder.
    if findmnt -rn -o TARGET | grep -q "^$sd/"; then
        die "something is still mounted under $sd; left it in place"
    fi
    rm -rf --one-file-system "$sd"

    wait_reaped
}

# ---------------------------------------------------------------- up

write_smb_conf() { # write_smb_conf STATE_DIR
    local sd=$1 s=$1/samba
    cat >"$s/smb.conf" <<EOF
[global]
    server role = standalone server
    netbios name = DOZOSRV
    workgroup = DOZOTEST
    interfaces = $SERVER_IP/$PREFIX_LEN
    bind interfaces only = yes
    disable netbios = yes
    smb ports = 445
    server min protocol = SMB2
    passdb backend = tdbsam:$s/private/passdb.tdb
    private dir = $s/private
    lock directory = $s/lock
    state directory = $s/state
    cache directory = $s/cache
    pid directory = $s/run
    ncalrpc dir = $s/ncalrpc
    binddns dir = $s/binddns
    usershare path =
    log file = $s/log/%m.log
    log level = 1
    max log size = 0
    load printers = no
    printing = bsd
    printcap name = /dev/null
    disable spoolss = yes
    map to guest = never
    restrict anonymous = 2

[data]
    path = $sd/srv/data
    read only = no
    valid users = root

[small]
    path = $sd/srv/small
    read only = no
    valid users = root

[ro]
    path = $sd/srv/ro
    read only = yes
    valid users = root
EOF
}

valid_rate() { [[ "$1" =~ ^[1-9][0-9]{0,5}$ ]]; }

shape_dev() { # shape_dev NS DEV RATE_MBIT|off
    if [[ "$3" == off ]]; then
        tc -n "$1" qdisc del dev "$2" root 2>/dev/null || true
    else
        tc -n "$1" qdisc replace dev "$2" root tbf rate "${3}mbit" burst 65536 latency 20ms
    fi
}

# Both ends of the pair and, while the relay carries the traffic, its two
# devices: what leaves either namespace is shaped whichever way it goes.
shape() { # shape STATE_DIR RATE_MBIT|off ; uses loaded state
    shape_dev "$SERVER_NS" "$SERVER_IF" "$2"
    shape_dev "$CLIENT_NS" "$CLIENT_IF" "$2"
    if relay_running; then
        shape_dev "$SERVER_NS" "$SERVER_TUN" "$2"
        shape_dev "$CLIENT_NS" "$CLIENT_TUN" "$2"
    fi
    RATE=${2/#off/}
    record "$1" RATE "$RATE"
}

# ---------------------------------------------------------------- delay

readonly MAX_DELAY_MS=1000

# A round trip in ms, 0 to MAX_DELAY_MS, with up to three decimals.
valid_delay() {
    [[ "$1" =~ ^[0-9]{1,4}(\.[0-9]{1,3})?$ ]] && awk -v d="$1" -v m=$MAX_DELAY_MS 'BEGIN { exit !(d <= m) }'
}

# The relay holds each packet for half the round trip, in whole microseconds.
one_way_us() { awk -v d="$1" 'BEGIN { printf "%d", d * 500 + 0.5 }'; }

relay_program() {
    local p=${DOZOZEDA_SHARE_RELAY:-}
    [[ -n "$p" ]] || die "a delay needs the relay: set DOZOZEDA_SHARE_RELAY to the realshare_relay" \
        "program (<build>/tests/realshare/realshare_relay)"
    [[ -f "$p" && -x "$p" ]] || die "DOZOZEDA_SHARE_RELAY=$p is not an executable file"
    echo "$p"
}

relay_running() { pid_is_ours "$RELAY_PID" "$CLIENT_NS" realshare_relay && is_running "$RELAY_PID"; }

relay_file() { echo "$1/harness/relay.$2"; }

# A value from the status the relay rewrites whole on every change.
relay_status() { # relay_status STATE_DIR KEY
    sed -n "s/^$2=//p" "$(relay_file "$1" status)" 2>/dev/null || true
}

relay_failed() { # relay_failed STATE_DIR MESSAGE
    die "$2; relay log: $(tail -n 3 "$(relay_file "$1" log)" 2>/dev/null | tr '\n' ' ')"
}

ns_sysctl() { # ns_sysctl NS KEY=VALUE...
    # shellcheck disable=SC2016
    nsenter --net="/run/netns/$1" bash -c \
        'for kv; do k=${kv%%=*}; echo "${kv#*=}" >"/proc/sys/${k//.//}" || exit 1; done' _ "${@:2}"
}

# Host routes onto the relay's devices: more specific than the /30 on the
# pair, so the traffic between the two addresses takes the relay while the
# addresses stay where they are.
relay_routes() { # relay_routes add|del
    if [[ "$1" == add ]]; then
        ip -n "$SERVER_NS" route replace "$CLIENT_IP/32" dev "$SERVER_TUN" src "$SERVER_IP"
        ip -n "$CLIENT_NS" route replace "$SERVER_IP/32" dev "$CLIENT_TUN" src "$CLIENT_IP"
    else
        ip -n "$SERVER_NS" route del "$CLIENT_IP/32" dev "$SERVER_TUN" 2>/dev/null || true
        ip -n "$CLIENT_NS" route del "$SERVER_IP/32" dev "$CLIENT_TUN" 2>/dev/null || true
    fi
}

start_relay() { # start_relay STATE_DIR ONE_WAY_US ; uses loaded state
    local sd=$1 relay status
    relay=$(relay_program)
    status=$(relay_file "$sd" status)
    echo "$2" >"$(relay_file "$sd" delay)"
    rm -f "$status"
    # In the client namespace, so that `down` knows it as ours; it makes
    # each device in its own namespace itself.
    RELAY_PID=$(start_bg "$(relay_file "$sd" pid)" "$(relay_file "$sd" log)" \
        nsenter --net="/run/netns/$CLIENT_NS" \
        "$relay" "$(relay_file "$sd" delay)" "$status" \
        "/run/netns/$SERVER_NS" "$SERVER_TUN" "/run/netns/$CLIENT_NS" "$CLIENT_TUN")
    record "$sd" RELAY_PID "$RELAY_PID"
    local n=100
    until [[ -s "$status" ]]; do
        is_running "$RELAY_PID" || relay_failed "$sd" "the relay exited"
        ((--n > 0)) || relay_failed "$sd" "the relay is not ready after 5 s"
        sleep 0.05
    done
    # While the routes change, and for packets the relay still holds after,
    # a packet may come in on the device its sender's route does not take;
    # strict reverse-path filtering would drop it. IPv6 is off on the new
    # devices: its announcements are not the harness's traffic, and one
    # reaching a device not up yet counts as a failure in the relay's status.
    local ns_devs ns veth tun
    for ns_devs in "$SERVER_NS:$SERVER_IF:$SERVER_TUN" "$CLIENT_NS:$CLIENT_IF:$CLIENT_TUN"; do
        IFS=: read -r ns veth tun <<<"$ns_devs"
        ns_sysctl "$ns" net.ipv4.conf.all.rp_filter=0 "net.ipv4.conf.$veth.rp_filter=0" \
            "net.ipv4.conf.$tun.rp_filter=0"
        [[ ! -d /proc/sys/net/ipv6 ]] || ns_sysctl "$ns" "net.ipv6.conf.$tun.disable_ipv6=1"
    done
    ip -n "$SERVER_NS" link set "$SERVER_TUN" up
    ip -n "$CLIENT_NS" link set "$CLIENT_TUN" up
    [[ -z "$RATE" ]] || { shape_dev "$SERVER_NS" "$SERVER_TUN" "$RATE"; shape_dev "$CLIENT_NS" "$CLIENT_TUN" "$RATE"; }
    relay_routes add
}

# The routes go first, so nothing new reaches the relay; it then passes on
# what it holds and ends, and its devices go with it.
stop_relay() { # stop_relay STATE_DIR ; uses loaded state
    relay_running || return 0
    relay_routes del
    stop_pid "$RELAY_PID" "$CLIENT_NS" realshare_relay
    record "$1" RELAY_PID ""
    RELAY_PID=""
}

set_delay() { # set_delay STATE_DIR DELAY_MS|off ; uses loaded state
    local sd=$1 us=0
    [[ "$2" == off ]] || us=$(one_way_us "$2")
    if ((us == 0)); then
        stop_relay "$sd"
    elif relay_running; then
        local control
        control=$(relay_file "$sd" delay)
        echo "$us" >"$control.new"
        mv -f "$control.new" "$control"
        kill -HUP "$RELAY_PID"
        local n=100
        until [[ "$(relay_status "$sd" delay_us)" == "$us" ]]; do
            ((--n > 0)) || relay_failed "$sd" "the relay did not take the new delay within 5 s"
            sleep 0.05
        done
    else
        start_relay "$sd" "$us"
    fi
    DELAY=$2
    ((us != 0)) || DELAY=""
    record "$sd" DELAY "$DELAY"
}

# A share is usable when a file can be created and removed through the mount,
# from this (root namespace) process.
probe_write() {
    local f="$1/.probe-$$-$RANDOM"
    { : >"$f"; } 2>/dev/null && rm -f "$f" 2>/dev/null
}

wait_usable() { # wait_usable DIR SECONDS
    local dir=$1 deadline=$((SECONDS + $2))
    while ((SECONDS < deadline)); do
        probe_write "$dir" && return 0
        sleep 0.2
    done
    return 1
}

start_bg() { # start_bg PIDFILE LOGFILE CMD... ; the pid recorded is CMD's own
    local pidfile=$1 logfile=$2
    shift 2
    # A file left by an earlier start would be taken for this one's.
    rm -f "$pidfile"
    # setsid: the daemon must outlive this script and ignore its terminal.
    # The inner shell writes its pid and execs, so the pid is the daemon's.
    # shellcheck disable=SC2016
    setsid bash -c 'echo $$ >"$0"; exec "$@"' "$pidfile" "$@" </dev/null >>"$logfile" 2>&1 &
    local n=50
    while ((n-- > 0)); do [[ -s "$pidfile" ]] && break; sleep 0.05; done
    [[ -s "$pidfile" ]] || die "could not start $3"
    cat "$pidfile"
}

start_smbnetfs() { # start_smbnetfs STATE_DIR ; uses loaded state
    local sd=$1 home=$1/home
    # nsenter, not `ip netns exec`: the latter would hide the mount from
    # everyone else in a private mount namespace.
    SMBNETFS_PID=$(start_bg "$sd/harness/smbnetfs.pid" "$sd/harness/smbnetfs.log" \
        env -i HOME="$home" PATH=/usr/bin:/bin \
        nsenter --net="/run/netns/$CLIENT_NS" \
        smbnetfs "$MNT" -f -o "config=$home/.smb/smbnetfs.conf,big_writes,max_write=131072,smb_timeout=5000")
    record "$sd" SMBNETFS_PID "$SMBNETFS_PID"
    wait_usable "$MNT/$SERVER_IP/data" 20 || die "$MNT/$SERVER_IP/data not writable within 20 s"
}

UP_SD=""
up_failed() {
    local rc=$?
    trap - EXIT INT TERM HUP
    if [[ -n "$UP_SD" ]]; then
        log "up failed (exit $rc); logs:"
        tail -n 15 "$UP_SD"/samba/log/*.log "$UP_SD"/harness/*.log 2>/dev/null >&2 || true
        cmd_down "$UP_SD" || true
    fi
    exit "$rc"
}

cmd_up() {
    local sd=$1 rate=${2:-} delay=${3:-}
    [[ $(id -u) -eq 0 ]] || die "must run as root"
    [[ "$rate" != off ]] || rate=""
    [[ -z "$rate" ]] || valid_rate "$rate" || die "bad rate '$rate' (whole Mbit/s or off)"
    [[ -z "$delay" ]] || valid_delay "$delay" || die "bad delay '$delay' (round trip in ms, 0 to $MAX_DELAY_MS)"
    [[ -z "$delay" || "$(one_way_us "$delay")" == 0 ]] || relay_program >/dev/null
    # The path ends up in smb.conf and in smbnetfs's comma-separated options.
    [[ "$sd" =~ ^[A-Za-z0-9._/-]+$ ]] || die "STATE_DIR may only hold letters, digits and . _ / -"
    if [[ -e "$sd" ]]; then
        [[ -d "$sd" && -z "$(ls -A "$sd")" ]] || die "$sd exists and is not empty"
    fi
    ensure_packages PACKAGES COMMANDS
    export PATH="$PATH:/usr/sbin:/sbin"
    local t0=$EPOCHREALTIME

    mkdir -p "$sd"
    sd=$(cd "$sd" && pwd)
    : >"$sd/$MARKER"
    UP_SD=$sd
    trap up_failed EXIT
    trap 'exit 130' INT TERM HUP
    mkdir -p "$sd/harness" "$sd/srv/data" "$sd/srv/small" "$sd/srv/ro" "$sd/mnt" \
        "$sd/home/.smb" "$sd/samba"/{private,lock,state,cache,run,ncalrpc,binddns,log}
    chmod 700 "$sd/samba/private"

    # Unique names so parallel runs don't clash; interface names max 15 chars.
    local sfx tries=20
    while :; do
        sfx=$(printf '%x%04x' $$ $((RANDOM)))
        [[ ! -e /run/netns/dozo-srv-$sfx && ! -e /run/netns/dozo-cli-$sfx ]] && break
        ((--tries > 0)) || die "no free namespace name"
    done
    SERVER_NS=dozo-srv-$sfx CLIENT_NS=dozo-cli-$sfx
    SERVER_IF=dzs$sfx CLIENT_IF=dzc$sfx SERVER_TUN=dzts$sfx CLIENT_TUN=dztc$sfx
    RATE="" DELAY="" RELAY_PID=""
    MNT=$sd/mnt SMALL_DIR=$sd/srv/small DATA_DIR=$sd/srv/data SMB_CONF=$sd/samba/smb.conf
    local k
    for k in SERVER_NS CLIENT_NS SERVER_IF CLIENT_IF SERVER_TUN CLIENT_TUN MNT SMALL_DIR DATA_DIR SMB_CONF; do
        record "$sd" "$k" "${!k}"
    done

    # Network: both ends live in namespaces of our own; the root namespace
    # never gets an address on the /30.
    ip netns add "$SERVER_NS"
    ip netns add "$CLIENT_NS"
    ip link add "$SERVER_IF" netns "$SERVER_NS" type veth peer name "$CLIENT_IF" netns "$CLIENT_NS"
    ip -n "$SERVER_NS" addr add "$SERVER_IP/$PREFIX_LEN" dev "$SERVER_IF"
    ip -n "$CLIENT_NS" addr add "$CLIENT_IP/$PREFIX_LEN" dev "$CLIENT_IF"
    local ns
    for ns in "$SERVER_NS" "$CLIENT_NS"; do ip -n "$ns" link set lo up; done
    ip -n "$SERVER_NS" link set "$SERVER_IF" up
    ip -n "$CLIENT_NS" link set "$CLIENT_IF" up
    [[ -z "$rate" ]] || shape "$sd" "$rate"
    # Before any client connects, so every connection takes the relay.
    [[ -z "$delay" ]] || set_delay "$sd" "$delay"

    # Server side folders.
    mount -t tmpfs -o "size=$SMALL_SIZE,mode=755" dozozeda-small "$SMALL_DIR"
    # data sits on its own bind mount so `readonly` can flip it in place.
    mount --bind "$DATA_DIR" "$DATA_DIR"
    write_smb_conf "$sd"
    local pw
    pw=$(head -c 24 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 20)
    printf '%s\n%s\n' "$pw" "$pw" | smbpasswd -c "$SMB_CONF" -s -a root >"$sd/harness/smbpasswd.log" 2>&1

    # nsenter --net only: smbd shares our mount namespace and so sees the tmpfs.
    # -l: without it smbd opens /var/log/samba/log.smbd before reading smb.conf.
    SMBD_PID=$(start_bg "$sd/harness/smbd.pid" "$sd/harness/smbd.log" \
        nsenter --net="/run/netns/$SERVER_NS" \
        smbd -F --no-process-group -s "$SMB_CONF" -l "$sd/samba/log")
    record "$sd" SMBD_PID "$SMBD_PID"
    local n=100
    until ip netns exec "$SERVER_NS" ss -Hltn "sport = :445" 2>/dev/null | grep -q .; do
        [[ -d /proc/$SMBD_PID ]] || die "smbd exited"
        ((--n > 0)) || die "smbd does not listen"
        sleep 0.1
    done

    # Client: a private HOME; smbnetfs ignores its config unless mode 600.
    local home=$sd/home
    cat >"$home/.smb/smb.conf" <<EOF
[global]
    client min protocol = SMB2
    disable netbios = yes
    name resolve order = host
EOF
    cat >"$home/.smb/smbnetfs.conf" <<EOF
smb_query_browsers "false"
auth "$SERVER_IP" "root" "$pw"
EOF
    chmod 700 "$home/.smb"
    chmod 600 "$home/.smb/smbnetfs.conf" "$home/.smb/smb.conf"
    # gvfs-up types it in again.
    record "$sd" PASSWORD "$pw"

    start_smbnetfs "$sd"
    local base=$MNT/$SERVER_IP

    {
        printf '%s=%q\n' \
            SHARE_DATA "$base/data" \
            SHARE_SMALL "$base/small" \
            SHARE_RO "$base/ro" \
            SHARE_DATA_SERVER_DIR "$sd/srv/data" \
            SHARE_SMALL_SERVER_DIR "$sd/srv/small" \
            SHARE_RO_SERVER_DIR "$sd/srv/ro" \
            SHARE_MOUNT "$MNT" \
            SERVER_IP "$SERVER_IP" \
            CLIENT_IP "$CLIENT_IP" \
            SERVER_NS "$SERVER_NS" \
            CLIENT_NS "$CLIENT_NS" \
            SERVER_IF "$SERVER_IF" \
            CLIENT_IF "$CLIENT_IF" \
            SERVER_TUN "$SERVER_TUN" \
            CLIENT_TUN "$CLIENT_TUN"
    } >"$sd/env.new"
    mv -f "$sd/env.new" "$sd/env"
    trap - EXIT INT TERM HUP
    log "up in $(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }') s: $base (rate ${rate:-unshaped}, added round trip ${DELAY:-none})"
}

# ---------------------------------------------------------------- link faults

need_state() {
    local sd=$1
    [[ -e "$sd/$MARKER" ]] || die "$sd: not a share.sh state folder"
    load_state "$sd" || die "$sd: no state"
    [[ -e /run/netns/$SERVER_NS && -e /run/netns/$CLIENT_NS ]] || die "$sd: namespaces are gone"
}

cmd_rate() {
    local sd=$1 rate=$2
    [[ "$rate" == off ]] || valid_rate "$rate" || die "bad rate '$rate' (whole Mbit/s or off)"
    need_state "$sd"
    shape "$sd" "$rate"
}

# Established connections (smbnetfs, gvfs) carry on through the change: the
# addresses stay, only the route between them does not.
cmd_delay() {
    local sd=$1 ms=$2
    [[ "$ms" == off ]] || valid_delay "$ms" || die "bad delay '$ms' (round trip in ms, 0 to $MAX_DELAY_MS, or off)"
    need_state "$sd"
    set_delay "$sd" "$ms"
}

# remote: only the server end goes down; the client's route stays and packets
#         vanish, as when a server or the path to it disappears.
# local:  both ends go down; the client has no route (ENETUNREACH at once on
#         reconnect attempts), as with an unplugged cable.
cmd_cut() {
    local mode=${2:-remote}
    [[ "$mode" == remote || "$mode" == local ]] || die "cut: remote or local"
    need_state "$1"
    local relay=0
    relay_running && relay=1
    if [[ "$mode" == local ]]; then
        ip -n "$CLIENT_NS" link set "$CLIENT_IF" down
        ((relay == 0)) || ip -n "$CLIENT_NS" link set "$CLIENT_TUN" down
    fi
    ip -n "$SERVER_NS" link set "$SERVER_IF" down
    # The kernel drops what the relay passes to a device that is down.
    ((relay == 0)) || ip -n "$SERVER_NS" link set "$SERVER_TUN" down
}

cmd_restore() {
    local sd=$1
    need_state "$sd"
    ip -n "$SERVER_NS" link set "$SERVER_IF" up
    ip -n "$CLIENT_NS" link set "$CLIENT_IF" up
    if relay_running; then
        ip -n "$SERVER_NS" link set "$SERVER_TUN" up
        ip -n "$CLIENT_NS" link set "$CLIENT_TUN" up
        # Taking a device down took its routes with it.
        relay_routes add
    fi
    # smbnetfs reconnects on demand; the first calls after the link returns
    # may still fail with EIO, and a file left open by an interrupted copy
    # stays locked (EBUSY on delete) until the server drops the old session.
    wait_usable "$MNT/$SERVER_IP/data" 20 || die "share not usable 20 s after restore"
}

# Flips the server folder's mount read-only underneath smbd. Changing `read
# only` in smb.conf would not do: smbd keeps the old value for connected
# clients, and forcing a reconnect loses open handles and gives EIO for
# seconds. With the mount read-only, creating, deleting or opening for write
# fails with EROFS through the share, and the connection stays as it was.
# The kernel refuses (EBUSY) while a file there is open for writing.
cmd_readonly() {
    local sd=$1 share=$2 mode=$3 dir
    need_state "$sd"
    case $share in
        data) dir=$DATA_DIR ;;
        small) dir=$SMALL_DIR ;;
        *) die "readonly: share must be data or small" ;;
    esac
    # In smbd's own mount namespace: a test may call this from a private one
    # (run-tests.sh runs them so), where a remount would not reach smbd.
    local in_server=(nsenter --mount="/proc/$SMBD_PID/ns/mnt")
    pid_is_ours "$SMBD_PID" "$SERVER_NS" smbd || die "readonly: smbd is not running"
    case $mode in
        on) "${in_server[@]}" mount -o remount,bind,ro "$dir" ||
                die "readonly: cannot remount $dir (a file still open for writing?)" ;;
        off) "${in_server[@]}" mount -o remount,bind,rw "$dir" ;;
        *) die "readonly: on or off" ;;
    esac
}

# ---------------------------------------------------------------- clients

# Takes smbnetfs away and brings it back, for a machine where no client
# serves a share.
cmd_smbnetfs() {
    local sd=$1 mode=$2
    need_state "$sd"
    case $mode in
        off) stop_smbnetfs ;;
        on) pid_is_ours "$SMBNETFS_PID" "$CLIENT_NS" smbnetfs || start_smbnetfs "$sd" ;;
        *) die "smbnetfs: on or off" ;;
    esac
}

# gvfs as on a desktop, but private: its own D-Bus session and runtime folder
# (so its FUSE folder is RUNTIME/gvfs), every daemon in the client namespace
# (nsenter, so the FUSE mount stays visible to all), and the share mounted by
# `gio mount` with the answers to its prompts on standard input. Nothing to do
# when that share is up already.
cmd_gvfs_up() {
    local sd=$1 share=$2
    need_state "$sd"
    [[ "$share" =~ ^[a-z]+$ ]] || die "gvfs-up: share must be one of the harness's (data, small, ro)"
    local folder=$sd/gvfs-run/gvfs/smb-share:server=$SERVER_IP,share=$share,user=root
    if [[ -n "$GVFS_RUN" ]]; then
        [[ -d "$folder" ]] || die "gvfs is up in $sd with another share"
        return 0
    fi
    ensure_packages GVFS_PACKAGES GVFS_COMMANDS
    local t0=$EPOCHREALTIME
    GVFS_RUN=$sd/gvfs-run
    mkdir -m 700 "$GVFS_RUN"
    record "$sd" GVFS_RUN "$GVFS_RUN"
    local bus=unix:path=$GVFS_RUN/bus
    local -a client=(env -i HOME="$sd/home" PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$GVFS_RUN"
                     DBUS_SESSION_BUS_ADDRESS="$bus" nsenter --net="/run/netns/$CLIENT_NS")

    start_bg "$sd/harness/dbus.pid" "$sd/harness/gvfs.log" \
        "${client[@]}" dbus-daemon --session --address="$bus" --nofork >/dev/null
    local n=100
    until [[ -S $GVFS_RUN/bus ]]; do
        ((--n > 0)) || die "the D-Bus session does not start"
        sleep 0.05
    done
    # gvfsd mounts its FUSE folder itself, through gvfsd-fuse.
    start_bg "$sd/harness/gvfsd.pid" "$sd/harness/gvfs.log" "${client[@]}" "$GVFSD" --replace >/dev/null
    n=100
    until is_mounted "$GVFS_RUN/gvfs"; do
        ((--n > 0)) || die "gvfsd did not mount $GVFS_RUN/gvfs"
        sleep 0.05
    done

    # With the user in the address, gio asks for the domain and the password.
    printf 'WORKGROUP\n%s\n' "$PASSWORD" |
        timeout 30 "${client[@]}" gio mount "smb://root@$SERVER_IP/$share" >>"$sd/harness/gvfs.log" 2>&1 ||
        die "gio mount smb://root@$SERVER_IP/$share failed"
    [[ -d "$folder" ]] || die "gvfs mounted the share, but $folder is missing"
    printf '%s=%q\n' XDG_RUNTIME_DIR "$GVFS_RUN" GVFS_SHARE "$folder" >"$sd/gvfs-env"
    log "gvfs up in $(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }') s: $folder"
}

cmd_gvfs_down() {
    need_state "$1"
    stop_gvfs "$1"
}

# ---------------------------------------------------------------- main

[[ $# -ge 1 ]] || usage
cmd=$1
shift
case $cmd in
    check) [[ $# -eq 0 || "$*" == gvfs ]] || usage; cmd_check "$@" ;;
    up) [[ $# -ge 1 && $# -le 3 ]] || usage; cmd_up "$@" ;;
    down) [[ $# -eq 1 ]] || usage; cmd_down "$1" ;;
    rate) [[ $# -eq 2 ]] || usage; cmd_rate "$@" ;;
    delay) [[ $# -eq 2 ]] || usage; cmd_delay "$@" ;;
    cut) [[ $# -ge 1 && $# -le 2 ]] || usage; cmd_cut "$@" ;;
    restore) [[ $# -eq 1 ]] || usage; cmd_restore "$1" ;;
    readonly) [[ $# -eq 3 ]] || usage; cmd_readonly "$@" ;;
    smbnetfs) [[ $# -eq 2 ]] || usage; cmd_smbnetfs "$@" ;;
    gvfs-up) [[ $# -eq 2 ]] || usage; cmd_gvfs_up "$@" ;;
    gvfs-down) [[ $# -eq 1 ]] || usage; cmd_gvfs_down "$1" ;;
    *) usage ;;
esac
