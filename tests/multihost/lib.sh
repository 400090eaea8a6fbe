# shellcheck shell=bash
# The set-up and clean-up shared by the multi-machine tests; each script sources this file first.
#
#   mh_enter TOOLS ARGS...   as root with the tools present, runs the script again (ARGS are its own)
#                            in a private mount namespace, so that the bind-mounted /etc files and
#                            the namespace names stay invisible to the rest of the machine
#   mh_begin NAME PREFIX S   work folder $W (/tmp/varnel-NAME.*), namespaces named $NS* (PREFIX and
#                            our PID, so two runs never meet), the traps, a watchdog that gives up
#                            after S seconds, a private /run/netns
#   mh_bridge SUFFIX...      one namespace $NS$SUFFIX per host, each on a bridge in ${NS}b
#   mh_home DIR              a fresh user's folders under DIR
#   mh_run_copy NS HOST DIR [VAR=VALUE...]
#                            starts $VARNEL as machine HOST in namespace NS on the user folders in DIR
#                            (offscreen unless the words say otherwise); its PID in LAST_PID
#   mh_screen NS FILE        starts an Xvfb screen of its own, its log in FILE, and waits until a
#                            program in namespace NS can draw on it (the server's abstract socket
#                            is not reachable from there, only its socket file); the display
#                            number in LAST_DISPLAY, the PID in LAST_PID; false when it never does
#   mh_wait_bound NS PID [TRIES] [PAUSE]
#                            waits until something in NS owns the mail port; false when PID ended
#
# A script may define mh_stop_more (stops what PIDS does not hold), mh_count_failures (sets
# FAILURES at the end) and mh_show_logs (what to show when the run failed). MH_KEEP names the
# variable that keeps the work folder (e.g. MULTIHOST_KEEP=1); MH_STOP the command that ends one PID.
# shellcheck disable=SC2317  # functions run from traps

skip() {
    echo "SKIP: $*"
    exit 77
}

log() { printf '[%3ds] %s\n' $((SECONDS - STARTED)) "$*"; }
fail() {
    log "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}
pass() { log "ok: $*"; }

# Ends one process we started: TERM, a bounded wait, then KILL.
stop_pid() {
    local pid=$1 i
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    for i in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
}

# The program and the test peer from the command line (VARNEL PEER, then what the script adds, named
# in MORE): sets VARNEL and PEER; a wrong count or a missing program is a usage error.
mh_programs() {
    local count=$1 more=$2
    shift 2
    if [ $# -ne "$count" ]; then
        echo "usage: $0 VARNEL PEER${more:+ $more}" >&2
        exit 2
    fi
    VARNEL=$(realpath "$1")
    PEER=$(realpath "$2")
    [ -x "$VARNEL" ] || { echo "no program at $1" >&2; exit 2; }
    [ -x "$PEER" ] || { echo "no peer at $2" >&2; exit 2; }
}

mh_enter() {
    [ -n "${VARNEL_MULTIHOST_INNER:-}" ] && return 0
    local tools=$1 tool
    shift
    [ "$(id -u)" -eq 0 ] || skip "needs root for network namespaces"
    for tool in ip unshare mount umount hostname timeout realpath $tools; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
    done
    unshare -m --propagation private true 2>/dev/null || skip "unshare of a mount namespace is not permitted here"
    export VARNEL_MULTIHOST_INNER=1
    exec unshare -m --propagation private -- bash "$0" "$@"
}

mh_begin() {
    STARTED=$SECONDS
    W=$(mktemp -d "/tmp/varnel-$1.XXXXXX")
    NS=$2$$
    PIDS=()
    FAILURES=0
    trap mh_cleanup EXIT
    trap 'log "interrupted"; exit 1' INT TERM
    # Its sleep is killed with it, so that nothing holds our output open afterwards.
    (
        trap 'kill "$nap" 2>/dev/null; exit 0' TERM
        sleep "$3" &
        nap=$!
        wait "$nap"
        log "watchdog: giving up"
        kill -TERM $$
    ) &
    WATCHDOG=$!
    mkdir -p /run/netns
    mount -t tmpfs -o size=1m,mode=755 tmpfs /run/netns || skip "cannot mount a private /run/netns"
}

mh_cleanup() {
    local rc=$? pid ns f
    trap - EXIT INT TERM
    kill "$WATCHDOG" 2>/dev/null
    for pid in "${PIDS[@]}"; do ${MH_STOP:-stop_pid} "$pid"; done
    if declare -F mh_stop_more >/dev/null; then mh_stop_more; fi
    wait 2>/dev/null
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}'); do
        [[ $ns == "$NS"* ]] && ip netns del "$ns" 2>/dev/null
    done
    for f in /etc/hosts /etc/resolv.conf /etc/nsswitch.conf /run/netns; do
        mountpoint -q "$f" && umount "$f"
    done
    if declare -F mh_count_failures >/dev/null; then mh_count_failures; fi
    if [ "$FAILURES" -gt 0 ] || [ "$rc" -ne 0 ]; then
        if declare -F mh_show_logs >/dev/null; then mh_show_logs; fi
    fi
    if [ -n "${!MH_KEEP:-}" ]; then echo "work folder kept: $W"; else rm -rf "$W"; fi
    [ "$rc" -eq 0 ] && [ "$FAILURES" -gt 0 ] && rc=1
    log "done in $((SECONDS - STARTED)) s, $FAILURES failure(s)"
    exit "$rc"
}

mh_bridge() {
    local s
    ip netns add "${NS}b" 2>/dev/null || skip "ip netns is not available"
    ip -n "${NS}b" link add br0 type bridge && ip -n "${NS}b" link set br0 up || skip "no bridge support"
    for s in "$@"; do
        ip netns add "$NS$s"
        ip link add veth0 netns "$NS$s" type veth peer name "p$s" netns "${NS}b" || skip "no veth support"
        ip -n "${NS}b" link set "p$s" master br0 up
        ip -n "$NS$s" link set veth0 up
        ip -n "$NS$s" link set lo up
    done
}

mh_home() {
    rm -rf "$1"
    mkdir -p "$1/home" "$1/config/kobu" "$1/data/kobu/varnel" "$1/cache"
    mkdir -m 700 "$1/run"
}

mh_run_copy() {
    local ns=$1 host=$2 h=$3
    shift 3
    ip netns exec "$ns" unshare --uts -- sh -c 'hostname "$1" && cd "$2" && shift 2 && exec "$@"' \
        sh "$host" "$h" env HOME="$h/home" XDG_CONFIG_HOME="$h/config" XDG_DATA_HOME="$h/data" \
        XDG_CACHE_HOME="$h/cache" XDG_RUNTIME_DIR="$h/run" DBUS_SESSION_BUS_ADDRESS=disabled: \
        DBUS_SYSTEM_BUS_ADDRESS="unix:path=$W/no-system-bus" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$@" \
        "$VARNEL" >>"$h/stdout.log" 2>>"$h/stderr.log" &
    LAST_PID=$!
}

mh_screen() {
    local ns=$1 log=$2 number=$2.display
    : >"$number"
    exec 5>"$number"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp -ac >"$log" 2>&1 &
    LAST_PID=$!
    PIDS+=("$LAST_PID")
    exec 5>&-
    LAST_DISPLAY=""
    for _ in $(seq 100); do
        [ -s "$number" ] && LAST_DISPLAY=$(head -n 1 "$number") && [ -n "$LAST_DISPLAY" ] &&
            ip netns exec "$ns" env DISPLAY=":$LAST_DISPLAY" xdotool getdisplaygeometry >/dev/null 2>&1 &&
            return 0
        kill -0 "$LAST_PID" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

mh_wait_bound() {
    local i
    for i in $(seq "${3:-100}"); do
        # 20595 is 0x5073.
        ip netns exec "$1" cat /proc/net/udp /proc/net/udp6 2>/dev/null | awk '{print $2}' |
            grep -qi ':5073$' && return 0
        kill -0 "$2" 2>/dev/null || return 1
        sleep "${4:-0.1}"
    done
    return 1
}
