#!/usr/bin/env bash
# The real program under load and attack, as machine pc1 in a network namespace, with a window under
# Xvfb, beside our test peer as pc3. The directory file lists 30 machines that have no address, and
# the name server is unreachable. Two runs of pc1:
#  1. Popup on. The peer floods pc1 with probes while it starts: pc1 must still take its own name
#     (a mail composed in the window carries it as sender). Then mail arrives while the arrival box
#     is open: its receipt goes out and a further box opens on top.
#  2. Popup off. 20000 datagrams: malformed ones, then mail from many senders, every other one
#     named by a name that does not resolve. Every mail pc1 acknowledged must be in its receive box
#     afterwards; its memory must stay bounded. Prints the start-up time, the peak memory and the worst time the window
#     took to answer a key (figures, not asserted).
#
#   endpoint_load_test.sh VARNEL PEER
#
# Needs root, iproute2, unshare, Xvfb, xdotool and python3; exits 77 (skipped) without them.
# LOAD_KEEP=1 keeps the work folder (logs, mailboxes).
# shellcheck disable=SC2015  # "check && pass || fail": pass never fails
# shellcheck disable=SC2016  # the inner shell expands its own arguments
# shellcheck disable=SC2317  # the clean-up hooks run from the trap
set -u
# shellcheck source=tests/multihost/lib.sh
. "$(dirname "$0")/lib.sh"

mh_programs 2 "" "$@"
mh_enter "Xvfb xdotool python3" "$@"

# Never hang: the whole run gets 200 s.
mh_begin load vl 200
MH_KEEP=LOAD_KEEP
mh_show_logs() {
    for f in "$W"/*.log; do [ -s "$f" ] && { echo "--- $f"; grep -v '^recv ' "$f" | tail -n 15; }; done
}

# --- Network: pc1 and pc3 on one link; names only in /etc/hosts; an unreachable name server --------
ip netns add ${NS}1 2>/dev/null && ip netns add ${NS}3 || skip "ip netns is not available"
ip link add veth0 netns ${NS}1 type veth peer name veth0 netns ${NS}3 || skip "no veth support"
for i in 1 3; do
    ip -n ${NS}$i addr add 10.231.0.$i/24 dev veth0
    ip -n ${NS}$i link set veth0 up
    ip -n ${NS}$i link set lo up
    ip -n ${NS}$i route add default dev veth0
done
printf '127.0.0.1 localhost\n10.231.0.1 pc1\n10.231.0.3 pc3\n' >"$W/hosts"
printf 'nameserver 10.231.0.99\n' >"$W/resolv.conf" # on the link, but nobody answers there
printf 'hosts: files dns\n' >"$W/nsswitch.conf"
for f in hosts resolv.conf nsswitch.conf; do
    [ -e /etc/$f ] && mount --bind "$W/$f" /etc/$f
done

H=$W/pc1
mh_home "$H"
{
    # Listed before this machine, so probed first; three names, so that a double-click on any of
    # the first rows of the tree picks one of them.
    for n in "" 2 3; do echo "OFFICE slowpc$n 10.231.0.3"; done
    for n in $(seq -w 1 30); do echo "OFFICE ghost$n"; done
    echo "OFFICE pc1 10.231.0.1"
    echo "OFFICE pc3 10.231.0.3"
} >"$H/config/kobu/network.txt"
READ1=$H/data/kobu/varnel/vnread.txt

mh_screen ${NS}1 "$W/xvfb.log" || { fail "Xvfb did not start, or pc1's namespace cannot reach it"; exit 1; }
DISPLAY=:$LAST_DISPLAY
export DISPLAY

now() { date +%s.%N; }
elapsed_ms() { python3 -c "import sys; print(round((float(sys.argv[2]) - float(sys.argv[1])) * 1000))" "$1" "$2"; }

# A sanitizer build keeps what is freed aside for a while: a small quarantine, so that the memory
# figures say what the program holds.
start_program() {
    mh_run_copy ${NS}1 pc1 "$H" QT_QPA_PLATFORM=xcb DISPLAY="$DISPLAY" \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16"
    PC1=$LAST_PID
    PIDS+=("$PC1")
}
# Visible windows titled as the main window and the arrival boxes are.
windows() { xdotool search --onlyvisible --name '^Varnel for Windows95' 2>/dev/null; }
# Waits until the main window shows; prints the milliseconds since $1.
wait_window() {
    local i
    for i in $(seq 1500); do
        [ -n "$(windows)" ] && { elapsed_ms "$1" "$(now)"; return 0; }
        kill -0 "$PC1" 2>/dev/null || { echo "pc1 ended"; return 1; }
        sleep 0.01
    done
    echo "none within 15 s"
    return 1
}
# The peer as pc3, from the given port (20595 is the collector's: receipts come back there).
peer_from() {
    local port=$1
    shift
    timeout 60 ip netns exec ${NS}3 "$PEER" -b 10.231.0.3 -p "$port" "$@"
}
# Bytes waiting in pc1's receive queue for the mail port.
queued() {
    local hex
    hex=$(ip netns exec ${NS}1 cat /proc/net/udp /proc/net/udp6 2>/dev/null |
        awk 'toupper($2) ~ /:5073$/ {split($5, q, ":"); print q[2]; exit}')
    [ -n "$hex" ] && printf '%d\n' "0x$hex"
}
# The peer as pc3 on the mail port, taking in (and logging) whatever pc1 sends it.
collector() {
    COLLECTED=$W/$1
    timeout 150 ip netns exec ${NS}3 "$PEER" -b 10.231.0.3 collect 140 >"$COLLECTED" 2>&1 &
    COLLECTOR=$!
    PIDS+=("$COLLECTOR")
}
# Waits up to $2 seconds for a line in the collector's log.
wait_line() {
    local i
    for i in $(seq $(($2 * 20))); do
        grep -qF -- "$1" "$COLLECTED" && return 0
        sleep 0.05
    done
    return 1
}
wait_count() { # $1 windows within $2 seconds
    local i
    for i in $(seq $(($2 * 20))); do
        [ "$(windows | wc -l)" -eq "$1" ] && return 0
        sleep 0.05
    done
    return 1
}
close_program() {
    kill -TERM "$PC1" 2>/dev/null
    for i in $(seq 100); do kill -0 "$PC1" 2>/dev/null || break; sleep 0.1; done
    if wait "$PC1"; then pass "pc1 exited 0 after SIGTERM"; else fail "pc1 did not end cleanly"; fi
}

# --- Run 1: probed while starting; boxes on top of boxes --------------------------------------------
printf '[General]\nWorkgroup=OFFICE\nPopup=1\n' >"$H/config/kobu/varnel.conf"
collector run1.log
timeout 30 ip netns exec ${NS}3 "$PEER" -b 10.231.0.3 -p 20596 flood pc1 100000000 4 '\acheck\b\0' \
    >"$W/probes.log" 2>&1 &
PROBER=$!
PIDS+=("$PROBER")
sleep 0.2
T0=$(now)
start_program
if STARTUP=$(wait_window "$T0"); then log "run 1: window after $STARTUP ms (flooded with probes)"; else
    fail "run 1: no window ($STARTUP)"
    tail -n 20 "$H/stderr.log" | sed 's/^/    pc1 stderr: /'
    exit 1
fi
MAIN=$(windows | head -n 1)
sleep 0.5
if xdotool search --onlyvisible --name 'ﾛｰｶﾙｴﾗｰ' >/dev/null 2>&1; then fail "run 1: a start-up error box"; fi

# Compose a mail to slowpc in the window: its sender is the name pc1 took.
xdotool windowfocus --sync "$MAIN" key alt+m Return # メール → メッセージ作成
sleep 0.3
xdotool mousemove --window "$MAIN" 30 66 click 1 key Right # the workgroup node: open it
sleep 0.3
xdotool mousemove --window "$MAIN" 30 90 click --repeat 2 --delay 80 1 # one of its first machines
TITLE=""
for i in $(seq 50); do
    TITLE=$(xdotool search --onlyvisible --name 'タイトル入力' 2>/dev/null | head -n 1)
    [ -n "$TITLE" ] && break
    sleep 0.1
done
if [ -z "$TITLE" ]; then
    fail "run 1: no title prompt after the double-click"
else
    xdotool windowfocus --sync "$TITLE" type probe
    xdotool windowfocus --sync "$TITLE" key Return
    sleep 0.3
    xdotool windowfocus --sync "$MAIN" key alt+m Down Return # メール → 送信
    if wait_line '\aS\\probe\\pc1\\slowpc' 10; then
        pass "pc1 took its own name while another machine probed it, and sends under it"
    else
        fail "pc1's mail to slowpc did not come with pc1 as sender"
    fi
fi

# A mail sent while the flood fills pc1's queue would be dropped by the kernel: wait for the flood to
# end and for the mail check to read what it left (a few ticks).
wait "$PROBER"
for i in $(seq 300); do [ "$(queued)" = 0 ] && break; sleep 0.1; done
M1='\\first\\pc3\\pc1\\2024/05/01 9:00:00\\\b'
M2='\\second\\pc3\\pc1\\2024/05/01 9:00:01\\\b'
peer_from 20597 send pc1 "\aS${M1}one\r\n\0" >/dev/null
if wait_line "\\aG$M1" 20 && wait_count 2 5; then
    pass "mail answered, arrival box open"
    peer_from 20597 send pc1 "\aS${M2}two\r\n\0" >/dev/null
    if wait_line "\\aG$M2" 10 && wait_count 3 5; then
        pass "with the box open, the next mail was answered and a further box opened on top"
    else
        fail "no receipt or no further box while the arrival box was open"
    fi
else
    fail "no receipt or no arrival box for the first mail"
fi
for w in $(windows); do
    [ "$w" = "$MAIN" ] || xdotool windowfocus --sync "$w" key Return 2>/dev/null
done
close_program
stop_pid "$COLLECTOR"

# --- Run 2: 20000 datagrams ------------------------------------------------------------------------
printf '[General]\nWorkgroup=OFFICE\nPopup=0\n' >"$H/config/kobu/varnel.conf"
: >"$READ1"
collector run2.log
T0=$(now)
start_program
if STARTUP=$(wait_window "$T0"); then
    log "start-up with 30 listed names that do not resolve: window after $STARTUP ms"
else
    fail "run 2: no window ($STARTUP)"
    tail -n 20 "$H/stderr.log" | sed 's/^/    pc1 stderr: /'
    exit 1
fi
MAIN=$(windows | head -n 1)
sleep 1
BEFORE=$(awk '/^VmRSS/ {print $2}' /proc/"$PC1"/status)

# How long the window takes to answer a key, all through the flood.
python3 "$(dirname "$0")/keylatency.py" "$MAIN" "$W/stop" "$W/keys" &
SAMPLER=$!
PIDS+=("$SAMPLER")

GOOD='\aS\\flood {n}\\pc3\\pc1\\2024/05/01 9:00:00\\\bbody {n}\r\n\0'
GHOST='\aS\\ghost mail {n}\\nowhere{n}\\pc1\\2024/05/01 9:00:00\\\bbody {n}\r\n\0'
log "flood: 10000 malformed datagrams, then 10000 mails, every other one from a name that does not resolve"
peer_from 20596 flood pc1 5000 5 'garbage {n}\0' flood pc1 5000 5 '\b{n}\\reversed\\\a\0' >"$W/flood1.log" 2>&1
peer_from 20596 floodmix pc1 10000 5 "$GOOD" "$GHOST" >"$W/flood2.log" 2>&1
sleep 15
touch "$W/stop"
wait "$SAMPLER"
PEAK=$(awk '/^VmHWM/ {print $2}' /proc/"$PC1"/status)
close_program
stop_pid "$COLLECTOR"

log "memory: $((BEFORE / 1024)) MB before the flood, peak $((PEAK / 1024)) MB"
[ $((PEAK - BEFORE)) -lt $((64 * 1024)) ] && pass "memory grew by less than 64 MB under the flood" ||
    fail "memory grew by $(((PEAK - BEFORE) / 1024)) MB under the flood"
log "key answers: $(wc -l <"$W/keys") samples, worst $(sort -n "$W/keys" | tail -n 1) ms," \
    "median $(sort -n "$W/keys" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}') ms"
grep -q lost "$W/keys" && fail "a key got no answer within 5 s"

# Every mail pc1 acknowledged is in its receive box, as delivered.
python3 - "$COLLECTED" "$READ1" <<'EOF' && pass "every acknowledged mail is stored" || fail "acknowledged mail missing"
import re, sys
def unescape(s):
    out, i = bytearray(), 0
    table = {'a': 7, 'b': 8, 'r': 13, 'n': 10, 't': 9, '0': 0, '\\': 92}
    while i < len(s):
        if s[i] == '\\':
            c = s[i + 1]
            if c == 'x':
                out.append(int(s[i + 2:i + 4], 16)); i += 4; continue
            out.append(table[c]); i += 2; continue
        out += s[i].encode('latin-1'); i += 1
    return bytes(out)
stored = open(sys.argv[2], 'rb').read()
acked = 0
for line in open(sys.argv[1], encoding='latin-1'):
    m = re.match(r'recv 10\.231\.0\.1:20595 (.*)$', line.rstrip('\n'))
    if not m or not m.group(1).startswith('\\aG\\\\flood '):
        continue
    header = unescape(m.group(1)).rstrip(b'\0')
    n = re.search(rb'flood (\d+)', header).group(1)
    if header + b'body ' + n + b'\r\n' not in stored:
        print('not stored:', header); sys.exit(1)
    acked += 1
print(f'{acked} mails acknowledged, {stored.count(bytes([7]))} stored')
sys.exit(0 if acked > 0 else 1)
EOF
grep -l -E 'ERROR: AddressSanitizer|runtime error:' "$H/stderr.log" 2>/dev/null && fail "sanitizer report"
exit 0
