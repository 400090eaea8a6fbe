#!/usr/bin/env bash
# Machines that find each other: three copies of varnel as pc1, pc2 and pc3, each in its own network
# namespace with its own system bus and Avahi daemon, no directory file and no host names in
# /etc/hosts or DNS. Each copy's tree must list all three under their workgroups (pc1 and pc2 in
# OFFICE, pc3 in WORKGROUP) and name the copy itself; pc1, worked with mouse and keys on a screen of
# its own, mails pc2 and pc3, which answer with delivery receipts, and pc2 opens the mail, which sends
# the read receipt; a copy that ends leaves the others' next listing; a daemon that stops leaves its
# copy running on its directory file, and a daemon that starts again brings discovery back; a copy
# whose name another service holds finds itself under the name its daemon settles on.
#
#   discovery_test.sh VARNEL
#
# With DISCOVERY_TIMING=N it measures instead, N times, how long a copy takes from its start to being
# listed by the two others, and prints the minimum, median and maximum.
#
# A copy's tree is read through VARNEL_NETWORK_DEBUG: a byte written to that FIFO is a network
# re-detection, answered by a "tree ..." line on the copy's stdout.
#
# Needs root, iproute2, unshare, dbus-daemon, avahi-daemon, Xvfb and xdotool; exits 77 (skipped) without them.
# DISCOVERY_KEEP=1 keeps the work folder.
# shellcheck disable=SC2015  # "check && pass || fail": pass never fails
# shellcheck disable=SC2016  # the inner shell expands its own arguments
# shellcheck disable=SC2317  # the clean-up hooks run from the trap
set -u
# shellcheck source=tests/multihost/lib.sh
. "$(dirname "$0")/lib.sh"

if [ $# -ne 1 ]; then
    echo "usage: $0 VARNEL" >&2
    exit 2
fi
VARNEL=$(realpath "$1")
[ -x "$VARNEL" ] || { echo "no program at $1" >&2; exit 2; }
[ -e /usr/share/dbus-1/system.conf ] || skip "no system bus configuration"
mh_enter "dbus-daemon avahi-daemon avahi-publish mkfifo Xvfb xdotool" "$@"

# Never hang: the whole run gets a bounded time, well inside the CTest limit.
mh_begin discovery vd "${DISCOVERY_TIMEOUT:-150}" # namespaces ${NS}b (the bridge), ${NS}1..3
chmod 755 "$W" # the system buses drop to their own user
MH_KEEP=DISCOVERY_KEEP
declare -A PID  # role -> PID of what we started: dbusN, avahiN, pcN (the screens are in PIDS)
declare -A DISP # copy -> X display number, for the copies worked by mouse and keys
mh_stop_more() {
    local role
    for role in pc1 pc2 pc3 publish avahi1 avahi2 avahi3 dbus1 dbus2 dbus3; do
        [ -n "${PID[$role]:-}" ] && stop_pid "${PID[$role]}"
    done
}
mh_show_logs() {
    for f in "$W"/pc*/stderr.log "$W"/pc*/stdout.log "$W"/n*/avahi.log; do
        [ -s "$f" ] && { echo "--- $f"; tail -n 15 "$f"; }
    done
}

# --- Three hosts on a bridge; no name of theirs is known to any resolver -------------------------
mh_bridge 1 2 3
for i in 1 2 3; do
    ip -n "$NS$i" addr add 10.231.0.$i/24 dev veth0
    ip -n "$NS$i" route add default dev veth0
done
printf '127.0.0.1 localhost\n' >"$W/hosts"
printf 'nameserver 127.0.0.1\n' >"$W/resolv.conf" # nothing listens there: asked, it says no at once
mount --bind "$W/hosts" /etc/hosts
mount --bind "$W/resolv.conf" /etc/resolv.conf
log "namespaces ${NS}1..3 up"

# --- One system bus and one Avahi daemon per host ------------------------------------------------
start_bus() {
    local i=$1
    rm -f "$W/n$i/bus"
    ip netns exec "$NS$i" dbus-daemon --config-file=/usr/share/dbus-1/system.conf \
        --address="unix:path=$W/n$i/bus" --nofork --nopidfile >"$W/n$i/dbus.log" 2>&1 &
    PID[dbus$i]=$!
}
start_avahi() {
    local i=$1
    : >"$W/n$i/avahi.log"
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$W/n$i/bus" ip netns exec "$NS$i" unshare --uts -- sh -c \
        "hostname pc$i && mount -t tmpfs tmpfs /run && exec avahi-daemon -f '$W/n$i/avahi.conf' --no-drop-root --no-chroot --no-rlimits" \
        >"$W/n$i/avahi.log" 2>&1 &
    PID[avahi$i]=$!
}
avahi_ready() {
    local i=$1
    for _ in $(seq 200); do
        grep -q 'Server startup complete' "$W/n$i/avahi.log" && return 0
        kill -0 "${PID[avahi$i]}" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}
for i in 1 2 3; do
    mkdir -p "$W/n$i"
    printf '[server]\nhost-name=pc%s\nuse-ipv6=no\nallow-interfaces=veth0\n[wide-area]\nenable-wide-area=no\n[publish]\npublish-hinfo=no\npublish-workstation=no\n' \
        "$i" >"$W/n$i/avahi.conf"
    start_bus "$i"
done
for i in 1 2 3; do
    for _ in $(seq 200); do [ -S "$W/n$i/bus" ] && break; sleep 0.02; done
    [ -S "$W/n$i/bus" ] || skip "the system bus of pc$i did not start"
    start_avahi "$i"
done
for i in 1 2 3; do avahi_ready "$i" || skip "the Avahi daemon of pc$i did not start"; done
log "three Avahi daemons running"

# --- The copies ----------------------------------------------------------------------------------
# pc1 and pc2 are set to OFFICE; pc3 has no setting and no file: WORKGROUP.
for i in 1 2 3; do
    h=$W/pc$i
    mh_home "$h"
    mkfifo "$h/ctl"
    if [ "$i" -ne 3 ]; then
        printf '[General]\nWorkgroup=OFFICE\nPopup=0\n' >"$h/config/kobu/varnel.conf"
    else
        printf '[General]\nPopup=0\n' >"$h/config/kobu/varnel.conf"
    fi
done

start_copy() {
    local i=$1 screen=()
    [ -n "${DISP[$i]:-}" ] && screen=(QT_QPA_PLATFORM=xcb DISPLAY=":${DISP[$i]}")
    : >"$W/pc$i/stdout.log"
    mh_run_copy "$NS$i" "pc$i" "$W/pc$i" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$W/n$i/bus" \
        VARNEL_NETWORK_DEBUG="$W/pc$i/ctl" "${screen[@]}"
    PID[pc$i]=$LAST_PID
}

# The copy's tree line in a fixed form: workgroups sorted, the machines of each sorted, self last.
normal() {
    tr ' ' '\n' | awk '
        /^self=/ { self = $0; next }
        /\[/ {
            i = index($0, "["); group = substr($0, 1, i - 1); list = substr($0, i + 1, length($0) - i - 1)
            n = split(list, m, ",")
            for (k = 1; k <= n; k++) for (j = k + 1; j <= n; j++) if (m[j] < m[k]) { t = m[k]; m[k] = m[j]; m[j] = t }
            out = ""; for (k = 1; k <= n; k++) out = out (k > 1 ? "," : "") m[k]
            print group "[" out "]" | "sort"
        }
        END { close("sort"); print self }' | tr '\n' ' ' | sed 's/ $//'
}

# Asks copy i for a re-detection and prints its answer (the tree line as it stands), or nothing
# after 2 s.
ask_raw() {
    local i=$1 h=$W/pc$1 before
    before=$(grep -c '^tree' "$h/stdout.log")
    printf x >"$h/ctl"
    for _ in $(seq 100); do
        if [ "$(grep -c '^tree' "$h/stdout.log")" -gt "$before" ]; then
            grep '^tree' "$h/stdout.log" | tail -n 1 | sed 's/^tree //'
            return 0
        fi
        sleep 0.02
    done
}
ask() { ask_raw "$1" | normal; }

# Waits until copy i's tree (normalised) is the wanted one; true when it came within the seconds given.
wait_tree() {
    local i=$1 want=$2 seconds=$3 got="" deadline
    deadline=$((SECONDS + seconds))
    while [ $SECONDS -le $deadline ]; do
        got=$(ask "$i")
        [ "$got" == "$want" ] && return 0
        kill -0 "${PID[pc$i]}" 2>/dev/null || { echo "    pc$i is not running"; return 1; }
        sleep 0.2
    done
    echo "    pc$i lists: ${got:-nothing}"
    echo "    wanted:    $want"
    return 1
}

# True when copy i's tree (asked now) lists host h.
lists() {
    ask "$1" | grep -qE "[[,]$2[],]"
}

# --- DISCOVERY_TIMING: from a copy's start until both others list it -----------------------------
if [ -n "${DISCOVERY_TIMING:-}" ]; then
    start_copy 1
    start_copy 3
    sleep 3
    TIMES=()
    for run in $(seq "$DISCOVERY_TIMING"); do
        t0=$(date +%s%N)
        start_copy 2
        seen1="" seen3=""
        while [ -z "$seen1" ] || [ -z "$seen3" ]; do
            [ -z "$seen1" ] && lists 1 pc2 && seen1=$(date +%s%N)
            [ -z "$seen3" ] && lists 3 pc2 && seen3=$(date +%s%N)
            [ $(($(date +%s%N) - t0)) -gt 20000000000 ] && { fail "run $run: pc2 not listed after 20 s"; break; }
        done
        [ -n "$seen1" ] && [ -n "$seen3" ] || break
        last=$((seen1 > seen3 ? seen1 : seen3))
        ms=$(((last - t0) / 1000000))
        TIMES+=("$ms")
        log "run $run: listed by pc1 after $(((seen1 - t0) / 1000000)) ms, by pc3 after $(((seen3 - t0) / 1000000)) ms"
        stop_pid "${PID[pc2]}"
        for _ in $(seq 100); do lists 1 pc2 || lists 3 pc2 || break; sleep 0.1; done
    done
    if [ ${#TIMES[@]} -gt 0 ]; then
        mapfile -t SORTED < <(printf '%s\n' "${TIMES[@]}" | sort -n)
        count=${#SORTED[@]}
        if [ $((count % 2)) -eq 1 ]; then
            median=${SORTED[$((count / 2))]}
        else
            median=$(((SORTED[count / 2 - 1] + SORTED[count / 2]) / 2))
        fi
        log "start to listed by both others over $count starts: min ${SORTED[0]} ms, median $median ms, max ${SORTED[$((count - 1))]} ms"
    fi
    exit 0
fi

# --- All three find each other -------------------------------------------------------------------
# pc1 and pc2 each get a screen of their own, so that a person's mouse and keys can work them.
for i in 1 2; do
    mh_screen "$NS$i" "$W/xvfb$i.log" || skip "Xvfb did not start, or pc$i's namespace cannot reach it"
    DISP[$i]=$LAST_DISPLAY
done
for i in 1 2 3; do start_copy "$i"; done
log "pc1..pc3 started"
ALL="OFFICE[pc1,pc2] WORKGROUP[pc3]"
for i in 1 2 3; do
    if wait_tree "$i" "$ALL self=pc$i" 15; then
        pass "pc$i lists OFFICE[pc1,pc2] WORKGROUP[pc3] and finds its own name pc$i"
    else
        fail "pc$i does not list all three with its own name"
    fi
done
for i in 1 2 3; do
    grep -q '^tree' "$W/pc$i/stdout.log" && [ "$(grep -c '^tree' "$W/pc$i/stdout.log")" -ge 2 ] ||
        fail "pc$i printed no start-up tree"
done


# --- Mail and both receipts between copies, worked as a person would ------------------------------
# Neither copy knows an address for the others' names but the one discovery found.
x() { DISPLAY=":${DISP[$1]}" xdotool "${@:2}"; }
main_window() { x "$1" search --name '^Varnel for Windows95$' | head -n 1; }
# "x y" of a place of copy i's window, as its latest places line gives it.
place() {
    grep '^places' "$W/pc$1/stdout.log" | tail -n 1 | tr ' ' '\n' | sed -n "s/^$2=//p" | tr ',' ' '
}
click() { # copy, x, y, clicks
    local i=$1 win
    win=$(main_window "$i")
    x "$i" mousemove --window "$win" "$2" "$3" && sleep 0.15 && x "$i" click --repeat "${4:-1}" --delay 100 1
    sleep 0.3
}
click_place() {
    local xy
    xy=$(place "$1" "$2")
    [ -n "$xy" ] || { echo "    pc$1 shows no $2"; return 1; }
    # shellcheck disable=SC2086
    click "$1" $xy "${3:-1}"
}
# Double-clicks machine host of workgroup group in copy i's tree: a fresh listing first, so the places
# line is the tree as it stands (workgroups come open and stay so); then its k-th machine.
add_recipient() {
    local i=$1 group=$2 host=$3 gx gy row k
    ask "$i" >/dev/null
    read -r gx gy <<<"$(place "$i" "$group")"
    row=$(place "$i" row)
    k=$(grep '^tree' "$W/pc$i/stdout.log" | tail -n 1 | tr ' ' '\n' | sed -n "s/^$group\[\(.*\)\]$/\1/p" |
        tr ',' '\n' | grep -nx "$host" | cut -d: -f1)
    [ -n "$gx" ] && [ -n "$row" ] && [ -n "$k" ] || { echo "    pc$i: no $group/$host in the tree"; return 1; }
    click "$i" "$gx" $((gy + k * row)) 2
}
type_into() { # copy, window, text
    x "$1" windowfocus --sync "$2" && x "$1" type --delay 30 "$3"
}

log "pc1 writes to pc2 and pc3"
mailed=0
if click_place 1 SB_ViewMake && add_recipient 1 OFFICE pc2; then
    title=""
    for _ in $(seq 50); do
        title=$(x 1 search --name 'タイトル入力' | head -n 1)
        [ -n "$title" ] && break
        sleep 0.1
    done
    if [ -n "$title" ] && type_into 1 "$title" "hello" && x 1 key --window "$title" Return && sleep 0.5 &&
        add_recipient 1 WORKGROUP pc3 && click_place 1 Mm_Message &&
        type_into 1 "$(main_window 1)" "see you at noon" && click_place 1 SB_MailSend; then
        mailed=1
    fi
fi
[ "$mailed" -eq 1 ] || fail "could not write the mail on pc1"
# pc2 and pc3 take it in within a tick and send their delivery receipts; then pc2 opens it.
sleep 3
ask 2 >/dev/null
click_place 2 SB_ViewRead && ask 2 >/dev/null && click_place 2 LV_View.0 || fail "pc2 could not open its mail"
sleep 3

# --- A copy that ends leaves the others' next listing --------------------------------------------
stop_pid "${PID[pc2]}"
unset "PID[pc2]"
# A mail record: mark, status letter, title, sender, recipient, send time, read time, header end.
record() { # file, status, recipient, read time pattern
    LC_ALL=C grep -qaP "\x07$2\\\\hello\\\\pc1\\\\$3\\\\[0-9/: ]+\\\\$4\x08see you at noon" "$1"
}
record "$W/pc2/data/kobu/varnel/vnread.txt" R pc2 '[0-9/: ]+' &&
    pass "pc2 received pc1's mail and opened it" || fail "pc2's receive box lacks pc1's opened mail"
for i in 1 3; do
    if wait_tree "$i" "OFFICE[pc1] WORKGROUP[pc3] self=pc$i" 5; then
        pass "pc2 ended: gone from pc$i's next listing"
    else
        fail "pc2 ended but pc$i still lists it"
    fi
done

# --- pc3's daemon stops: pc3 goes on with its directory file; the daemon back, discovery is back --
printf 'FILED pc9 10.231.0.9\n' >"$W/pc3/config/kobu/network.txt"
stop_pid "${PID[avahi3]}"
unset "PID[avahi3]"
if wait_tree 3 "FILED[pc9] WORKGROUP[pc3] self=pc3" 5; then
    pass "pc3's daemon stopped: pc3 lists itself and its file's machine"
else
    fail "pc3's listing without its daemon"
fi
kill -0 "${PID[pc3]}" 2>/dev/null && pass "pc3 still running" || fail "pc3 ended with its daemon"
start_avahi 3
avahi_ready 3 || fail "the Avahi daemon of pc3 did not start again"
if wait_tree 3 "FILED[pc9] OFFICE[pc1] WORKGROUP[pc3] self=pc3" 10; then
    pass "pc3's daemon back: pc3 finds pc1 again"
else
    fail "pc3 does not find pc1 after its daemon came back"
fi
if wait_tree 1 "OFFICE[pc1] WORKGROUP[pc3] self=pc1" 10; then
    pass "pc3's daemon back: pc1 finds pc3 again"
else
    fail "pc1 does not find pc3 after pc3's daemon came back"
fi
if grep -qiE 'message box|ﾛｰｶﾙｴﾗｰ' "$W/pc3/stderr.log"; then
    fail "pc3 showed a box"
fi

# pc1's send box: the mail to pc2 read (its read receipt came), the one to pc3 delivered.
stop_pid "${PID[pc1]}"
unset "PID[pc1]"
record "$W/pc1/data/kobu/varnel/vnsend.txt" R pc2 '[0-9/: ]+' &&
    pass "pc1's mail to pc2 shows as read (read receipt by name through discovery)" ||
    fail "pc1's send box: no read receipt from pc2"
record "$W/pc1/data/kobu/varnel/vnsend.txt" G pc3 '' &&
    pass "pc1's mail to pc3 shows as delivered (delivery receipt by name through discovery)" ||
    fail "pc1's send box: no delivery receipt from pc3"

# --- pc1 comes back while another service holds its name ------------------------------------------
# A service on pc2 is announced under pc1's name. Which of the two keeps the name is the daemons'
# matter: the one there first, unless its daemon answers too late (a loaded machine; in the second
# round it is stopped for a while), and then the other one takes a new name. Either way pc1 finds
# itself under the name its daemon holds for it, whatever the daemons still have cached, and pc3
# lists it.
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$W/n2/bus" ip netns exec "${NS}2" \
    avahi-publish -s pc1 _varnel._udp 20595 workgroup=OFFICE >"$W/publish.log" 2>&1 &
PID[publish]=$!
for _ in $(seq 100); do grep -q '^Established' "$W/publish.log" && break; sleep 0.05; done
for round in first late; do
    seen=$(wc -l <"$W/pc1/stderr.log") # what this round's copy says comes after
    [ "$round" = late ] && kill -STOP "${PID[avahi2]}"
    start_copy 1
    [ "$round" = late ] && sleep 4 && kill -CONT "${PID[avahi2]}"
    found=0 name=pc1
    # Up to about half a minute: a loaded machine may take a while to settle its daemon.
    for _ in $(seq 150); do
        tail -n +$((seen + 1)) "$W/pc1/stderr.log" | grep -q 'announced as pc1 #2' && name="pc1 #2"
        line1=$(ask_raw 1)
        line3=$(ask_raw 3) # raw: a name with a space is one name
        if [[ "$line1" == *"self=$name" && "$line3" == *"OFFICE[pc1,pc1 #2]"* ]]; then
            found=1
            break
        fi
        sleep 0.2
    done
    [ "$found" -eq 1 ] && pass "$round round: pc1 finds itself under the name its daemon holds for it, '$name', and pc3 lists both" ||
        fail "$round round: pc1 lists '${line1:-}' (its name: '$name'), pc3 lists '${line3:-}'"
    stop_pid "${PID[pc1]}"
    unset "PID[pc1]"
done

if grep -l -E 'ERROR: AddressSanitizer|runtime error:' "$W"/pc*/stderr.log 2>/dev/null; then
    fail "sanitizer report in a copy's stderr"
fi
exit 0
