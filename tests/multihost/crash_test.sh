#!/usr/bin/env bash
# Crash test: the real program in network namespaces beside test peers, killed with SIGKILL.
#
#   crash_test.sh VARNEL PEER CRASHPOINT_LIBRARY
#
# Several lanes run side by side, each a program in its own namespace (pcN) mailed by its own peer
# (peerN, all peers in one namespace). Three kinds of round:
#   random  the peer mails the program; once delivery receipts have come back, the program is killed
#           at a random moment while more mail arrives. The same mailboxes go on to the next round.
#   close   mail, receipts, then SIGTERM; the program is killed at the N-th file call of its close
#           (by the crash point library: a write is cut in half first).
#   fold    twenty 62 kB mails make the journal pass its limit in the second tick; the program is
#           killed at the N-th file call from the first commit through the fold.
# After every kill the mailbox files must be whole; at the next start and close every mail whose
# receipt the peer got must be in the receive box exactly once, and nothing else but sent mail.
#
# Needs root (network namespaces), iproute2, unshare and python3; exits 77 (skipped) without.
# CRASH_KEEP=1 keeps the work folder.
# shellcheck disable=SC2317  # functions run from traps and lanes
set -u
# shellcheck source=tests/multihost/lib.sh
. "$(dirname "$0")/lib.sh"

mh_programs 3 CRASHPOINT_LIBRARY "$@"
CRASHPOINT=$(realpath "$3")
mh_enter python3 "$@"

mh_begin crash vc 270
MH_KEEP=CRASH_KEEP
MH_STOP="kill -KILL"
LANES=4
NET=10.239.0
mh_count_failures() { FAILURES=$(cat "$W"/lane*/failures 2>/dev/null | wc -l); }
mh_show_logs() {
    cat "$W"/lane*/failures
    for f in "$W"/lane*/*/stderr.log; do
        [ -s "$f" ] && { echo "--- $f"; tail -n 15 "$f"; }
    done
}

# A sanitizer build starts and writes more slowly: fewer rounds there.
if ldd "$VARNEL" 2>/dev/null | grep -q libasan; then
    RANDOM_ROUNDS=8
    POINT_STEP=3
else
    RANDOM_ROUNDS=32
    POINT_STEP=1
fi
CLOSE_POINTS=14 # every file call of a close
FOLD_POINTS=10  # every file call from the commit before a fold to its end

# --- Network: a bridge, one namespace per lane's program, one for all the peers -----------------
mh_bridge $(seq "$LANES") p
hosts='127.0.0.1 localhost\n'
for i in $(seq "$LANES"); do
    ip -n "$NS$i" addr add "$NET.$i/24" dev veth0
    ip -n "$NS$i" route add default dev veth0
    ip -n "${NS}p" addr add "$NET.$((100 + i))/24" dev veth0
    hosts+="$NET.$i pc$i\n$NET.$((100 + i)) peer$i\n"
done
ip -n "${NS}p" route add default dev veth0
printf "$hosts" >"$W/hosts"
[ -e /etc/hosts ] && mount --bind "$W/hosts" /etc/hosts

# Checks a mailbox file. shape: absent or whole records only; prints the titles, one a line.
# final SENT ACKED: also every acknowledged title exactly once, nothing that was not sent.
cat >"$W/check.py" <<'EOF'
import os, sys
path, mode = sys.argv[1], sys.argv[2]
if not os.path.exists(path):
    if mode == "final":
        sys.exit("missing " + path)
    sys.exit(0)
data = open(path, "rb").read()
titles = []
if data and data[0] != 7:
    sys.exit("does not start with a record: %r" % data[:20])
for record in data.split(b"\x07")[1:]:
    head, sep, body = record.partition(b"\x08")
    parts = head.split(b"\\")
    if not sep or len(parts) != 6 or parts[0] not in (b"G", b"R") or not body.endswith(b"\r\n"):
        sys.exit("torn record: %r" % record[:60])
    titles.append(parts[1].decode())
if mode == "final":
    sent = set(open(sys.argv[3]).read().split())
    acked = open(sys.argv[4]).read().split()
    seen = set()
    for t in titles:
        if t in seen:
            sys.exit("stored twice: " + t)
        seen.add(t)
    if seen - sent:
        sys.exit("stored but never sent: %s" % sorted(seen - sent)[:5])
    lost = [t for t in acked if t not in seen]
    if lost:
        sys.exit("acknowledged but lost: %s" % lost[:10])
print("\n".join(titles))
EOF

# --- One lane -----------------------------------------------------------------------------------
lane() {
    local lane=$1 L=$W/lane$1
    mkdir -p "$L"
    : >"$L/failures"
    fail() {
        log "lane $lane FAIL: $*"
        echo "lane $lane: $*" >>"$L/failures"
    }

    # A fresh user (folders, settings, directory file) under $L/$1.
    profile() {
        local h=$L/$1
        mh_home "$h"
        printf '[General]\nWorkgroup=OFFICE\nPopup=0\n' >"$h/config/kobu/varnel.conf"
        printf 'OFFICE pc%s %s.%s\nOFFICE peer%s %s.%s\n' "$lane" "$NET" "$lane" "$lane" "$NET" $((100 + lane)) \
            >"$h/config/kobu/network.txt"
        : >"$h/sent"
        : >"$h/acked"
    }

    # Starts the program as pcN on profile $1; more environment words follow.
    PROGRAM=""
    start() {
        local h=$L/$1
        shift
        mh_run_copy "$NS$lane" "pc$lane" "$h" "$@"
        PROGRAM=$LAST_PID
        echo "$PROGRAM" >>"$W/pids"
        mh_wait_bound "$NS$lane" "$PROGRAM" 150 0.05 && return 0
        fail "the program did not open its endpoint"
        return 1
    }
    # Waits up to $2 seconds for the program to end; its exit status in STATUS (empty: still runs).
    STATUS=""
    ended() {
        local i
        STATUS=""
        for i in $(seq $(($2 * 20))); do
            if ! kill -0 "$1" 2>/dev/null; then
                wait "$1" 2>/dev/null # no "Killed" notice: the kill is the test
                STATUS=$?
                return 0
            fi
            sleep 0.05
        done
        return 1
    }
    # The peer of this lane, in the background, its log in $1.
    PEERPID=""
    peer() {
        local out=$1
        shift
        ip netns exec "${NS}p" timeout 30 "$PEER" -b "$NET.$((100 + lane))" "$@" >"$out" 2>&1 &
        PEERPID=$!
        echo "$PEERPID" >>"$W/pids"
    }
    stop_peer() {
        kill "$PEERPID" 2>/dev/null
        wait "$PEERPID" 2>/dev/null
    }
    # The titles whose delivery receipts are in the peer log $1.
    receipts() { grep -o 'aG\\\\L[0-9]*[A-Z][0-9]*M[0-9]*' "$1" | sed 's/^aG\\\\//'; }
    mail() { printf '\\aS\\\\%s\\\\peer%s\\\\pc%s\\\\2024/05/01 9:00:00\\\\\\b%s\\r\\n\\0' "$1" "$lane" "$lane" "$2"; }
    # Starts the program on profile $1, lets it take in its journal, closes it and checks the box.
    verify() {
        local h=$L/$1 what=$2
        start "$1" || return
        sleep 0.3
        kill -TERM "$PROGRAM"
        if ! ended "$PROGRAM" 10; then
            fail "$what: still running 10 s after SIGTERM"
            kill -KILL "$PROGRAM"
            return
        fi
        [ "$STATUS" -eq 0 ] || fail "$what: exit $STATUS after SIGTERM"
        local why
        if ! why=$(python3 "$W/check.py" "$h/data/kobu/varnel/vnread.txt" final "$h/sent" "$h/acked" 2>&1 >/dev/null); then
            fail "$what: $why"
        fi
        [ -e "$h/data/kobu/varnel/vnread.txt.journal" ] && fail "$what: a journal is left after the close"
        return 0
    }

    local job kind n r k steps log counted
    profile random
    r=0
    while read -r job; do
        kind=${job% *}
        n=${job#* }
        case $kind in
        random)
            r=$((r + 1))
            local h=$L/random
            start random || continue
            steps=()
            for k in $(seq 10); do
                steps+=(send "pc$lane" "$(mail "L${lane}R${r}M$k" "round $r")" sleep 0.3)
                echo "L${lane}R${r}M$k" >>"$h/sent"
            done
            log=$h/peer$r.log
            peer "$log" "${steps[@]}" collect 3
            for k in $(seq 160); do
                grep -q 'aG' "$log" && break
                sleep 0.05
            done
            grep -q 'aG' "$log" || fail "random $r: no receipt within 8 s"
            sleep "$(printf '0.%03d' $((RANDOM % 1000)))"
            [ $((RANDOM % 2)) -eq 0 ] && sleep 1
            kill -KILL "$PROGRAM"
            ended "$PROGRAM" 5
            stop_peer
            receipts "$log" >>"$h/acked"
            python3 "$W/check.py" "$h/data/kobu/varnel/vnread.txt" shape >"$h/titles.now" 2>"$h/why" ||
                fail "random $r: after the kill: $(cat "$h/why")"
            if [ -e "$h/titles.before" ] && [ -n "$(comm -23 <(sort "$h/titles.before") <(sort "$h/titles.now"))" ]; then
                fail "random $r: the file lost records it held"
            fi
            mv "$h/titles.now" "$h/titles.before"
            echo "random" >>"$L/rounds"
            ;;
        close | fold)
            profile point
            local h=$L/point
            start point LD_PRELOAD="$CRASHPOINT" VARNEL_CRASH_MATCH="$h/data/" VARNEL_CRASH_ARM="$h/arm" \
                VARNEL_CRASH_AT="$n" VARNEL_CRASH_LOG="$h/calls" \
                ASAN_OPTIONS="detect_leaks=0:abort_on_error=0:verify_asan_link_order=0" || continue
            log=$h/peer.log
            counted=0
            if [ "$kind" = close ]; then
                steps=()
                for k in 1 2 3; do
                    steps+=(send "pc$lane" "$(mail "L${lane}C${n}M$k" "close $n")")
                    echo "L${lane}C${n}M$k" >>"$h/sent"
                done
                peer "$log" "${steps[@]}" collect 5
                for k in $(seq 100); do
                    [ "$(receipts "$log" | wc -l)" -ge 3 ] && break
                    sleep 0.05
                done
                touch "$h/arm"
                kill -TERM "$PROGRAM"
                ended "$PROGRAM" 10 || { fail "close $n: still running after SIGTERM"; kill -KILL "$PROGRAM"; }
                counted=$(wc -l <"$h/calls" 2>/dev/null || echo 0)
            else
                # Sixteen 62 kB mails bring the journal just below 1 MiB; paced, so that the
                # socket's queue never overflows between two ticks. The next mail makes it fold.
                steps=()
                for k in $(seq 18); do
                    printf '\aS\\%s\\peer%s\\pc%s\\2024/05/01 9:00:00\\\b' "L${lane}F${n}M$k" "$lane" "$lane" >"$h/big$k"
                    head -c 61900 /dev/zero | tr '\0' 'y' >>"$h/big$k"
                    printf '\r\n\0' >>"$h/big$k"
                    [ "$k" -le 16 ] && steps+=(sendfile "pc$lane" "$h/big$k" sleep 0.35)
                    echo "L${lane}F${n}M$k" >>"$h/sent"
                done
                peer "$log" "${steps[@]}" collect 3
                for k in $(seq 240); do
                    [ "$(receipts "$log" | wc -l)" -ge 16 ] && break
                    sleep 0.05
                done
                [ "$(receipts "$log" | wc -l)" -ge 16 ] || fail "fold $n: only $(receipts "$log" | wc -l) of 16 receipts"
                stop_peer
                receipts "$log" >"$h/acked"
                touch "$h/arm"
                peer "$log" sendfile "pc$lane" "$h/big17" sendfile "pc$lane" "$h/big18" collect 3
                if ! ended "$PROGRAM" 5; then
                    counted=$(wc -l <"$h/calls") # the close that follows counts no more
                    kill -TERM "$PROGRAM"
                    ended "$PROGRAM" 10
                fi
            fi
            stop_peer
            receipts "$log" >>"$h/acked"
            if [ "${STATUS:-0}" -eq 137 ]; then
                echo "$kind cut" >>"$L/rounds"
            else
                echo "$kind whole $counted" >>"$L/rounds"
            fi
            python3 "$W/check.py" "$h/data/kobu/varnel/vnread.txt" shape >/dev/null 2>"$h/why" ||
                fail "$kind $n: after the kill: $(cat "$h/why")"
            verify point "$kind $n"
            ;;
        esac
    done <"$L/jobs"
    verify random "random rounds"
}

# --- Jobs, spread over the lanes, then the lanes side by side --------------------------------------
# The crash points of a fold and of a close in turn (the longest rounds first), then the random
# rounds. Point 99 lies past the last call: that round counts the calls.
jobs=()
for n in $(seq 1 "$POINT_STEP" "$FOLD_POINTS") 99; do jobs+=("fold $n"); done
for n in $(seq 1 "$POINT_STEP" "$CLOSE_POINTS") 99; do jobs+=("close $n"); done
for r in $(seq "$RANDOM_ROUNDS"); do jobs+=("random $r"); done
for i in $(seq "$LANES"); do mkdir -p "$W/lane$i"; done
for k in "${!jobs[@]}"; do
    echo "${jobs[$k]}" >>"$W/lane$((k % LANES + 1))/jobs"
done
log "$LANES lanes: ${#jobs[@]} rounds ($RANDOM_ROUNDS random, crash points every $POINT_STEP)"
: >"$W/pids"
LANE_PIDS=()
for i in $(seq "$LANES"); do
    lane "$i" >"$W/lane$i/log" 2>&1 &
    LANE_PIDS+=($!)
    PIDS+=($!)
done
for pid in "${LANE_PIDS[@]}"; do wait "$pid"; done
mapfile -t started <"$W/pids"
PIDS+=("${started[@]}")
cat "$W"/lane*/log

# Every crash point of a close and of a fold must have been tried: a round past the last call
# closed or folded whole, and counted how many calls there were.
rounds=$(cat "$W"/lane*/rounds)
for kind in close fold; do
    cut=$(grep -c "^$kind cut" <<<"$rounds")
    whole=$(grep "^$kind whole" <<<"$rounds" | awk '{print $3}' | sort -n | tail -n 1)
    points=$CLOSE_POINTS
    [ "$kind" = fold ] && points=$FOLD_POINTS
    log "$kind: $cut rounds killed at a file call, of ${whole:-?} calls"
    if [ -z "$whole" ] || [ "$whole" -gt "$points" ]; then
        echo "$kind makes ${whole:-?} file calls, more than the $points points tried" >>"$W/lane1/failures"
    fi
done
log "random: $(grep -c '^random' <<<"$rounds") rounds killed after receipts"
exit 0
