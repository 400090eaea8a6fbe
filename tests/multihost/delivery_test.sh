#!/usr/bin/env bash
# Mail that always arrives, exactly once. pc1, pc2 and pc3 run the program, each in its own network
# namespace on one bridge; pc4 is the test peer, a lossy stretch of line between pc1 and pc2: for the
# first 70 s the two reach each other only through it (their directory files give its address for
# each other), and it drops 30 % of what it passes, both ways.
#
# pc1 has written mail to pc2 and pc3 (copies on their way in its send box) while pc2's program is
# stopped; pc2 has written to pc1. pc2 starts 30 s after pc1. pc1 and pc2 are each killed once with
# SIGKILL and started again. When the relay ends, both are pointed at each other directly
# (ネットワーク再検出). At the end every copy at pc1 is delivered (G) or read (R), and every mail is in
# its receive box exactly once.
#
#   delivery_test.sh VARNEL PEER
#
# Needs root (network namespaces), iproute2, unshare, mkfifo and python3; exits 77 (skipped) without.
# MULTIHOST_KEEP=1 keeps the work folder (logs, mailboxes) for a look afterwards.
# shellcheck disable=SC2317  # the clean-up hooks run from the trap
set -u
# shellcheck source=tests/multihost/lib.sh
. "$(dirname "$0")/lib.sh"

mh_programs 2 "" "$@"
mh_enter "mkfifo python3" "$@"

mh_begin delivery vd 220
MH_KEEP=MULTIHOST_KEEP
declare -A PID
mh_show_logs() {
    for f in "$W"/pc*/stderr.log; do
        [ -s "$f" ] && { echo "--- $f"; tail -n 20 "$f"; }
    done
}

# --- The network: four hosts and a bridge ---------------------------------------------------------
mh_bridge 1 2 3 4
for i in 1 2 3 4; do
    ip -n ${NS}$i addr add 10.232.0.$i/24 dev veth0
    ip -n ${NS}$i route add default dev veth0
done
printf '127.0.0.1 localhost\n10.232.0.1 pc1\n10.232.0.2 pc2\n10.232.0.3 pc3\n10.232.0.4 pc4\n' >"$W/hosts"
if [ -e /etc/hosts ]; then mount --bind "$W/hosts" /etc/hosts; fi
log "namespaces ${NS}1..${NS}4 up"

# Directory file of pcN; "relay" gives pc1 and pc2 the peer's address for each other.
directory() {
    local i=$1 how=$2 a1=10.232.0.1 a2=10.232.0.2
    if [ "$how" = relay ]; then
        [ "$i" = 1 ] && a2=10.232.0.4
        [ "$i" = 2 ] && a1=10.232.0.4
    fi
    printf 'OFFICE pc1 %s\nOFFICE pc2 %s\nOFFICE pc3 10.232.0.3\n' "$a1" "$a2" >"$W/pc$i/config/kobu/network.txt"
}
for i in 1 2 3; do
    h=$W/pc$i
    mh_home "$h"
    mkfifo "$h/ctl"
    printf '[General]\nWorkgroup=OFFICE\nPopup=0\n' >"$h/config/kobu/varnel.conf"
    directory "$i" relay
done

# The mail written before the start: copies on their way (letter S) in the send boxes, sent a
# minute ago. pc1 to pc2 (6) and pc3 (4), pc2 to pc1 (3); and one answered copy each.
python3 - "$W" <<'PY'
import sys, datetime
w = sys.argv[1]
sent = (datetime.datetime.now() - datetime.timedelta(minutes=1))
def when(n):
    t = sent + datetime.timedelta(seconds=n)
    return f"{t:%Y/%m/%d} {t.hour}:{t:%M:%S}".encode()
def record(letter, title, sender, to, n, body):
    return b"\x07" + letter + b"\\" + title + b"\\" + sender + b"\\" + to + b"\\" + when(n) + b"\\\x08" + body
boxes = {1: [], 2: []}
for n in range(6):
    boxes[1].append(record(b"S", b"to pc2 #%d" % n, b"pc1", b"pc2", n, b"\x82\xb1\x82\xf1\r\n%d\r\n" % n))
for n in range(4):
    boxes[1].append(record(b"S", b"to pc3 #%d" % n, b"pc1", b"pc3", n, b"hello pc3\r\n"))
for n in range(3):
    boxes[2].append(record(b"S", b"to pc1 #%d" % n, b"pc2", b"pc1", n, b"hello pc1\r\n"))
boxes[1].append(record(b"G", b"answered", b"pc1", b"pc3", -30, b"old\r\n"))
for i, records in boxes.items():
    with open(f"{w}/pc{i}/data/kobu/varnel/vnsend.txt", "wb") as f:
        f.write(b"".join(reversed(records)))  # newest first
PY

start_program() {
    mh_run_copy "${NS}$1" "pc$1" "$W/pc$1" VARNEL_NETWORK_DEBUG="$W/pc$1/ctl"
    PID[$1]=$LAST_PID
    PIDS+=("$LAST_PID")
    log "pc$1 started (pid $LAST_PID)"
}
kill_program() {
    kill -KILL "${PID[$1]}" 2>/dev/null
    wait "${PID[$1]}" 2>/dev/null
    log "pc$1 killed with SIGKILL"
}

# --- The run --------------------------------------------------------------------------------------
timeout 80 ip netns exec ${NS}4 "$PEER" -b 10.232.0.4 relay 70 30 10.232.0.1 10.232.0.2 >"$W/relay.log" 2>&1 &
RELAY=$!
PIDS+=("$RELAY")
T0=$SECONDS
at() { while [ $((SECONDS - T0)) -lt "$1" ]; do sleep 0.2; done; }

start_program 3
start_program 1
at 12
kill_program 1
start_program 1
at 30
start_program 2
at 50
kill_program 2
at 52
start_program 2
wait "$RELAY"
grep '^relay' "$W/relay.log" | sed 's/^/    /'
# The relay is gone: pc1 and pc2 reach each other directly from now on.
for i in 1 2; do
    directory "$i" direct
    printf x >"$W/pc$i/ctl"
done
log "pc1 and pc2 pointed at each other directly"
at 135

for i in 1 2 3; do
    kill -TERM "${PID[$i]}" 2>/dev/null
done
for i in 1 2 3; do
    for _ in $(seq 100); do kill -0 "${PID[$i]}" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "${PID[$i]}" 2>/dev/null; then fail "pc$i still running 10 s after SIGTERM"; fi
done

# --- What the boxes hold --------------------------------------------------------------------------
python3 - "$W" <<'PY'
import sys, collections
w = sys.argv[1]
def records(i, name):
    try:
        data = open(f"{w}/pc{i}/data/kobu/varnel/{name}", "rb").read()
    except FileNotFoundError:
        return []
    out = []
    for part in data.split(b"\x07")[1:]:
        header, _, body = part.partition(b"\x08")
        fields = header.split(b"\\")
        out.append((chr(fields[0][0]), b"\\".join(fields[1:5]), body))
    return out
bad = 0
send1 = records(1, "vnsend.txt")
waiting = [k for letter, k, _ in send1 if letter not in "GR"]
print(f"    pc1 send box: {len(send1)} copies, {len(waiting)} not delivered")
bad += len(send1) != 11 or len(waiting) > 0
send2 = records(2, "vnsend.txt")
print(f"    pc2 send box: {len(send2)} copies, {sum(l not in 'GR' for l, _, _ in send2)} not delivered")
bad += len(send2) != 3 or any(l not in "GR" for l, _, _ in send2)
for i, sender, count in ((2, b"pc1", 6), (3, b"pc1", 4), (1, b"pc2", 3)):
    got = collections.Counter(k for _, k, _ in records(i, "vnread.txt") if k.split(b"\\")[1] == sender)
    twice = sum(1 for n in got.values() if n > 1)
    print(f"    pc{i} receive box: {len(got)} of {count} mails from {sender.decode()}, {twice} stored more than once")
    bad += len(got) != count or twice > 0
sys.exit(1 if bad else 0)
PY
if [ $? -eq 0 ]; then
    pass "every copy delivered at pc1 and pc2, every mail in its receive box exactly once"
else
    fail "copies not delivered, or mail missing or stored twice"
fi
if grep -l -E 'ERROR: AddressSanitizer|runtime error:' "$W"/pc*/stderr.log 2>/dev/null; then
    fail "sanitizer report in the program's stderr"
fi
exit 0
