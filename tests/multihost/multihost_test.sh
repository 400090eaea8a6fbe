#!/usr/bin/env bash
# Real copies of varnel as real machines: pc1 and pc2 run the program, pc3 is our test peer, each in
# its own network namespace, joined by a bridge. The peer mails pc1 and pc2, sends receipts for mail
# that pc1 "sent" earlier, throws malformed and oversized datagrams and a flood at pc1, and a second
# copy of the program is started on pc1 under Xvfb. At the end pc1 is closed with SIGTERM and its
# mailbox files are compared byte for byte.
#
#   multihost_test.sh VARNEL PEER
#
# Needs root (network namespaces), iproute2, unshare, Xvfb and xdotool; exits 77 (skipped) without.
# MULTIHOST_KEEP=1 keeps the work folder (logs, mailboxes) for a look afterwards.
# shellcheck disable=SC2317  # the clean-up hooks run from the trap
set -u
# shellcheck disable=SC2015  # "check && pass || fail": pass never fails
# shellcheck source=tests/multihost/lib.sh
. "$(dirname "$0")/lib.sh"

mh_programs 2 "" "$@"
mh_enter "Xvfb xdotool cmp xxd" "$@"

# Never hang: the whole run gets 180 s, well inside the CTest limit.
mh_begin multihost vm 180
MH_KEEP=MULTIHOST_KEEP
XVFB_PID=""
mh_stop_more() { [ -n "$XVFB_PID" ] && stop_pid "$XVFB_PID"; }
mh_show_logs() {
    for f in "$W"/pc*/stderr.log; do
        [ -s "$f" ] && { echo "--- $f"; tail -n 20 "$f"; }
    done
}

# Bytes in the peer's notation (\a \b \r \n \\ \xHH, \0 at the end only) written to a file.
bytes() { printf '%b' "$1"; }

# --- The network: three hosts and a bridge, visible only in this mount namespace -------------------
mh_bridge 1 2 3
for i in 1 2 3; do
    ip -n ${NS}$i addr add 10.231.0.$i/24 dev veth0
    ip -n ${NS}$i route add default dev veth0
done
printf '127.0.0.1 localhost\n10.231.0.1 pc1\n10.231.0.2 pc2\n10.231.0.3 pc3\n' >"$W/hosts"
if [ -e /etc/hosts ]; then mount --bind "$W/hosts" /etc/hosts; fi
log "namespaces ${NS}1..${NS}3 up"

# --- Per-host user folders ------------------------------------------------------------------------
for i in 1 2; do
    h=$W/pc$i
    mh_home "$h"
    printf '[General]\nWorkgroup=OFFICE\nPopup=0\n' >"$h/config/kobu/varnel.conf"
    printf '# the office\nOFFICE pc1 10.231.0.1\nOFFICE pc2 10.231.0.2\nOFFICE pc3 10.231.0.3\n' \
        >"$h/config/kobu/network.txt"
done
SEND1=$W/pc1/data/kobu/varnel/vnsend.txt
READ1=$W/pc1/data/kobu/varnel/vnread.txt
CONF1=$W/pc1/config/kobu/varnel.conf
SEND2=$W/pc2/data/kobu/varnel/vnsend.txt
READ2=$W/pc2/data/kobu/varnel/vnread.txt

# pc1 "sent" 会議 to pc3 earlier (still S) and lunch to pc2 (delivered); it holds one old, read mail.
KAIGI='\x89\xef\x8b\x63'
SEED_KEY="$KAIGI\\\\pc1\\\\pc3\\\\2024/04/30 17:45:10"
SEED_BODY='Line one\r\n\x96\x7b\x93\xfa\x82\xcd\x90\xb0\x82\xea\r\n'
OLD_SENT='\aG\\lunch\\pc1\\pc2\\2024/04/29 12:00:00\\\bSee you\r\n'
OLD_READ='\aR\\old\\pc2\\pc1\\2024/04/28 8:00:00\\2024/04/28 8:05:00\bhello\r\n'
READ_TIME='2024/05/01 9:30:12'
bytes "\aS\\\\$SEED_KEY\\\\\b$SEED_BODY$OLD_SENT" >"$SEND1"
bytes "$OLD_READ" >"$READ1"

# Runs the program as host pcN in namespace vnN. Extra environment words come first.
start_program() {
    mh_run_copy "${NS}$1" "pc$1" "$W/pc$1" "${@:2}"
    PIDS+=("$LAST_PID")
}
wait_bound() { mh_wait_bound "${NS}$1" "$2"; }

# Runs the peer as host pc3; its log goes to $W/NAME.log and is shown on failure.
peer() {
    local name=$1
    shift
    timeout 60 ip netns exec ${NS}3 "$PEER" -b 10.231.0.3 "$@" >"$W/$name.log" 2>&1
    local rc=$?
    if [ $rc -ne 0 ]; then
        echo "--- peer $name (exit $rc)"
        grep -v '^recv ' "$W/$name.log" | tail -n 20
        grep '^recv ' "$W/$name.log" | tail -n 10
    fi
    return $rc
}

# --- Start pc1 and pc2, one second apart so their probes do not cross ----------------------------
start_program 1 QT_QPA_PLATFORM=offscreen
PC1=$LAST_PID
wait_bound 1 "$PC1" || { fail "pc1 did not open its endpoint"; exit 1; }
sleep 1
start_program 2 QT_QPA_PLATFORM=offscreen
PC2=$LAST_PID
wait_bound 2 "$PC2" || { fail "pc2 did not open its endpoint"; exit 1; }
sleep 1.5
kill -0 "$PC1" 2>/dev/null && kill -0 "$PC2" 2>/dev/null || { fail "a program ended at start-up"; exit 1; }
log "pc1 (pid $PC1) and pc2 (pid $PC2) running"

# --- Mail, receipts and bad datagrams -------------------------------------------------------------
# Each mail is sent with its zero byte; its delivery receipt is its header with G, plus the zero.
OSHIRASE='\x82\xa8\x92\x6d\x82\xe7\x82\xb9'
M1_HEAD="\\\\$OSHIRASE\\\\pc3\\\\pc1\\\\2024/05/01 9:00:00\\\\\\b"
M1_BODY='\x91\x8d\x96\xb1\x95\x94\r\nsecond line\r\n'
M2_HEAD='\\hello pc2\\pc3\\pc2\\2024/05/01 9:00:01\\\b'
BAD_HEAD='\\bad\x81\x20\xff\xa0\x85\x40\xfd\\pc3\\pc1\\2024/05/01 9:00:02\\\b'
ZERO_HEAD='\\zero\\pc3\\pc1\\2024/05/01 9:00:03\\\b'
GHOST_HEAD='\\ghost\\pc3\\pc1\\2024/05/01 9:00:03\\\b'
LARGE_HEAD='\\large\\pc3\\pc1\\2024/05/01 9:00:04\\\b'
NOSENDER_HEAD='\\nosender\\\\pc1\\2024/05/01 9:00:05\\\b'
BIG_HEAD='\\big\\pc3\\pc1\\2024/05/01 9:00:06\\\b'
LONG_HEAD="\\\\$(printf 'L%.0s' $(seq 260))\\\\pc3\\\\pc1\\\\2024/05/01 9:00:07\\\\\\b"
M4_HEAD='\\after the storm\\pc3\\pc1\\2024/05/01 9:00:08\\\b'
M5_HEAD='\\still here\\pc3\\pc1\\2024/05/01 9:00:09\\\b'

# A 62000-byte mail (kept) and a 64000-byte one (too large for the read buffer: dropped).
{ bytes "\aS$LARGE_HEAD"; head -c 61000 /dev/zero | tr '\0' 'y'; } >"$W/large.body"
LARGE_BODY_LEN=$((62000 - 1 - $(stat -c %s "$W/large.body")))
{ cat "$W/large.body"; head -c "$LARGE_BODY_LEN" /dev/zero | tr '\0' 'z'; printf '\0'; } >"$W/large.dgram"
{ bytes "\aS$BIG_HEAD"; head -c 64000 /dev/zero | tr '\0' 'x'; } | head -c 63999 >"$W/big.dgram"
printf '\0' >>"$W/big.dgram"
[ "$(stat -c %s "$W/large.dgram")" -eq 62000 ] && [ "$(stat -c %s "$W/big.dgram")" -eq 64000 ] ||
    { fail "could not build the large datagrams"; exit 1; }

# Twelve mails at once: one tick takes ten, the next the other two; none may be lost.
BURST_STEPS=()
BURST_EXPECT=()
BURST_STORED=""
for n in $(seq -w 0 11); do
    h="\\\\burst $n\\\\pc3\\\\pc1\\\\2024/05/01 9:01:$n\\\\\\b"
    BURST_STEPS+=(send pc1 "\aS$h#$n\r\n\0")
    BURST_EXPECT+=(expect 10 "\aG$h\0")
    BURST_STORED="\aG$h#$n\r\n$BURST_STORED"
done

log "peer: mail to pc1 and pc2, receipts, bad datagrams"
peer round1 \
    send pc1 "\aS$M1_HEAD$M1_BODY\0" expect 10 "\aG$M1_HEAD\0" \
    send pc2 "\aS$M2_HEAD""ping\r\n\0" expect 10 "\aG$M2_HEAD\0" \
    send pc1 "\aG\\\\$SEED_KEY\\\\\b\0" sleep 2.5 \
    send pc1 "\aR\\\\$SEED_KEY\\\\$READ_TIME\b\0" \
    send pc1 '\aG\\nokey\\pc1\\pc3\\2024/01/01 0:00:00\\\b\0' \
    send pc1 '' \
    send pc1 'no marks at all\0' \
    send pc1 '\bS\\reversed\\pc3\\pc1\\2024/05/01 9:00:10\\\a\0' \
    send pc1 '\aS\\no end mark\\pc3\\pc1\\2024/05/01 9:00:11\\\0' \
    send pc1 '\acheck\b\0' \
    send pc1 "\aS$BAD_HEAD\xe0\x40\xff\r\n\0" expect 10 "\aG$BAD_HEAD\0" \
    send pc1 "\aS$ZERO_HEAD""before\r\n\0\aS$GHOST_HEAD""after\r\n\0" expect 10 "\aG$ZERO_HEAD\0" \
    sendfile pc1 "$W/large.dgram" expect 10 "\aG$LARGE_HEAD\0" \
    send pc1 "\aS$NOSENDER_HEAD""x\r\n\0" \
    sendfile pc1 "$W/big.dgram" \
    send pc1 "\aS$LONG_HEAD""long header\r\n\0" \
    "${BURST_STEPS[@]}" "${BURST_EXPECT[@]}" \
    absent 1 "\aG$GHOST_HEAD\0" absent 0.1 "\aG$BIG_HEAD\0" absent 0.1 "\aG$LONG_HEAD\0" \
    && pass "mail answered by pc1 and pc2, receipts and bad datagrams sent, twelve-mail burst answered" \
    || fail "peer round 1"

# The flood overruns pc1's receive queue; the mail goes out once the program has drained it.
log "peer: a flood of 5000 malformed datagrams, then one more mail"
peer round2 \
    flood pc1 2500 4 'flood {n}: no marks at all\0' \
    flood pc1 2500 4 '\b{n}\\reversed\\\a\0' \
    sleep 5 \
    send pc1 "\aS$M4_HEAD""calm again\r\n\0" expect 15 "\aG$M4_HEAD\0" \
    && pass "pc1 survived the flood and answered the next mail" || fail "peer round 2 (flood)"
grep '^flood' "$W/round2.log" | sed 's/^/    /'

# --- A second copy on pc1 ------------------------------------------------------------------------
fingerprint() {
    local f
    for f in "$SEND1" "$READ1" "$CONF1"; do
        if [ -e "$f" ]; then stat -c '%n %s %y' "$f"; sha256sum <"$f"; else echo "$f absent"; fi
    done
    ls -A "$W/pc1/data/kobu/varnel" "$W/pc1/config/kobu"
}

log "second copy on pc1 under Xvfb"
exec 5>"$W/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp -ac >"$W/xvfb.log" 2>&1 &
XVFB_PID=$!
exec 5>&-
for i in $(seq 100); do [ -s "$W/display" ] && break; sleep 0.1; done
DISPLAY_NUMBER=$(head -n 1 "$W/display" 2>/dev/null)
if [ -z "$DISPLAY_NUMBER" ]; then
    fail "Xvfb did not start"
else
    export DISPLAY=:$DISPLAY_NUMBER
    BEFORE=$(fingerprint)
    start_program 1 QT_QPA_PLATFORM=xcb DISPLAY="$DISPLAY"
    SECOND=$LAST_PID
    BOXES=()
    DURING=""
    for i in $(seq 200); do
        kill -0 "$SECOND" 2>/dev/null || break
        for w in $(xdotool search --onlyvisible --name 'ﾛｰｶﾙｴﾗｰ' 2>/dev/null); do
            case " ${BOXES[*]} " in *" $w "*) continue ;; esac
            BOXES+=("$w")
            title=$(xdotool getwindowname "$w" 2>/dev/null)
            log "box $w: '$title'"
            # Qt on X11 may append the application's display name to a window title.
            [[ "$title" =~ ^ﾛｰｶﾙｴﾗｰ(\ —\ Varnel\ for\ Windows95)?$ ]] || fail "box title '$title'"
            command -v import >/dev/null && import -window "$w" "$W/box${#BOXES[@]}.png" 2>/dev/null
            [ -z "$DURING" ] && DURING=$(fingerprint)
            sleep 0.3
            timeout 5 xdotool windowfocus --sync "$w" key Return ||
                timeout 5 xdotool key --window "$w" Return
        done
        sleep 0.1
    done
    SECOND_RC=""
    for i in $(seq 100); do kill -0 "$SECOND" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$SECOND" 2>/dev/null; then
        fail "the second copy is still running 30 s after start"
    else
        wait "$SECOND"
        SECOND_RC=$?
    fi
    AFTER=$(fingerprint)
    if [ ${#BOXES[@]} -ge 1 ]; then
        pass "second copy showed ${#BOXES[@]} 'ﾛｰｶﾙｴﾗｰ' box(es) and ended (exit ${SECOND_RC:-?})"
    else
        fail "second copy showed no 'ﾛｰｶﾙｴﾗｰ' box"
    fi
    if [ "$BEFORE" == "$DURING" ] && [ "$BEFORE" == "$AFTER" ]; then
        pass "pc1's mailbox and settings files untouched by the second copy"
    else
        fail "pc1's files changed by the second copy"
        diff <(echo "$BEFORE") <(echo "$AFTER")
    fi
    kill -0 "$PC1" 2>/dev/null && pass "pc1 still running" || fail "pc1 ended while the second copy ran"
fi

peer round3 send pc1 "\aS$M5_HEAD""ok\r\n\0" expect 10 "\aG$M5_HEAD\0" \
    && pass "pc1 answers mail after the second copy" || fail "pc1 does not answer after the second copy"

# --- Close pc1 and pc2 and read their mailboxes --------------------------------------------------
close_program() {
    local pid=$1 name=$2 i rc
    kill -TERM "$pid" 2>/dev/null
    for i in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "$name still running 10 s after SIGTERM"
        return
    fi
    wait "$pid"
    rc=$?
    [ $rc -eq 0 ] && pass "$name exited 0 after SIGTERM" || fail "$name exited $rc after SIGTERM"
}
close_program "$PC1" pc1
close_program "$PC2" pc2

# The file must hold exactly the expected bytes.
expect_file() {
    local file=$1 what=$2
    if [ ! -e "$file" ]; then
        fail "$what: $file missing"
    elif cmp -s "$file" "$W/expected"; then
        pass "$what: $(stat -c %s "$file") bytes as expected"
    else
        fail "$what differs"
        cmp "$file" "$W/expected"
        echo "    got:"
        xxd "$file" | head -n 12 | sed 's/^/    /'
        echo "    expected:"
        xxd "$W/expected" | head -n 12 | sed 's/^/    /'
    fi
}

# Newest first: the mail after the second copy, the one after the flood, the burst (last first),
# the mail without sender, the large one, the one cut at its zero byte, the one with bad CP932 bytes,
# the first mail, and the old mail from before the run.
{
    bytes "\aG$M5_HEAD""ok\r\n\aG$M4_HEAD""calm again\r\n$BURST_STORED"
    bytes "\aG$NOSENDER_HEAD""x\r\n"
    printf '\aG'
    head -c -1 "$W/large.dgram" | tail -c +3
    bytes "\aG$ZERO_HEAD""before\r\n\aG$BAD_HEAD\xe0\x40\xff\r\n\aG$M1_HEAD$M1_BODY$OLD_READ"
} >"$W/expected"
expect_file "$READ1" "pc1 receive box"
bytes "\aR\\\\$SEED_KEY\\\\$READ_TIME\b$SEED_BODY$OLD_SENT" >"$W/expected"
expect_file "$SEND1" "pc1 send box (read receipt applied, lunch untouched)"
bytes "\aG$M2_HEAD""ping\r\n" >"$W/expected"
expect_file "$READ2" "pc2 receive box"
: >"$W/expected"
expect_file "$SEND2" "pc2 send box (empty)"

# A sanitizer build reports faults on stderr and may go on running.
if grep -l -E 'ERROR: AddressSanitizer|runtime error:' "$W"/pc*/stderr.log 2>/dev/null; then
    fail "sanitizer report in the program's stderr"
fi
exit 0
