#!/usr/bin/env bash
# Sealed mail between real copies: pc1 and pc2 run the program, pc3 is the test peer (a copy built
# to the original design: no key), each in its own network namespace on one bridge.
#   1. pc1 and pc2 start and learn each other's key by key request.
#   2. pc1 starts again with two copies on their way: to pc2 (goes sealed; pc2's sealed receipt
#      applies) and to pc3 (no key: goes plain). The peer forges, in pc2's name, a plain read
#      receipt for pc1's copy (no change) and a plain mail (stored, not marked sealed).
#   3. With 封印メールのみ on, pc1 refuses the peer's next plain mail.
#   4. pc2 starts with a new key and mails pc1: pc1 keeps the mail marked and warns.
#
#   sealed_test.sh VARNEL PEER
#
# Needs root (network namespaces), iproute2 and unshare; exits 77 (skipped) without.
# SEALED_KEEP=1 keeps the work folder.
# shellcheck disable=SC2317
set -u
# shellcheck disable=SC2015
# shellcheck source=tests/multihost/lib.sh
. "$(dirname "$0")/lib.sh"

mh_programs 2 "" "$@"
mh_enter "base64 grep" "$@"
mh_begin sealed vs 150
MH_KEEP=SEALED_KEEP
mh_show_logs() { for f in "$W"/pc*/stderr.log "$W"/*.log; do [ -s "$f" ] && { echo "--- $f"; tail -n 15 "$f"; }; done; }

mh_bridge 1 2 3
for i in 1 2 3; do
    ip -n "$NS$i" addr add "10.232.0.$i/24" dev veth0
done
printf '127.0.0.1 localhost\n10.232.0.1 pc1\n10.232.0.2 pc2\n10.232.0.3 pc3\n' >"$W/hosts"
[ -e /etc/hosts ] && mount --bind "$W/hosts" /etc/hosts
for i in 1 2; do
    mh_home "$W/pc$i"
    printf '[General]\nWorkgroup=OFFICE\nPopup=0\n' >"$W/pc$i/config/kobu/varnel.conf"
    printf 'OFFICE pc1 10.232.0.1\nOFFICE pc2 10.232.0.2\nOFFICE pc3 10.232.0.3\n' >"$W/pc$i/config/kobu/network.txt"
done
box() { echo "$W/pc$1/data/kobu/varnel/$2"; }
start() { mh_run_copy "$NS$1" "pc$1" "$W/pc$1"; PID[$1]=$LAST_PID; PIDS+=("$LAST_PID"); mh_wait_bound "$NS$1" "$LAST_PID" || fail "pc$1 did not start"; }
stop() { stop_pid "${PID[$1]}"; }
peer() { timeout 30 ip netns exec "${NS}3" "$PEER" -b 10.232.0.3 "${@:2}" >"$W/$1.log" 2>&1; }
# The seal mark of a record key (title\sender\recipient\time) in a copy's marks file.
marked() { grep -qx "$2 $(printf '%s' "$3" | base64 -w0)" "$(box "$1" sealmarks.txt)"; }
declare -A PID
# A record key in the peer's notation (a backslash doubled).
pk() { printf '%s' "${1//\\/\\\\}"; }

# --- 1: keys by request ----------------------------------------------------------------------------
start 1
start 2
sleep 5
stop 1
stop 2
for i in 1 2; do
    [ "$(stat -c %a "$W/pc$i/config/kobu/identity.key" 2>/dev/null)" = 600 ] || fail "pc$i: no identity.key of mode 0600"
    [ "$(wc -l <"$W/pc$i/config/kobu/keyring.txt" 2>/dev/null)" -ge 2 ] && pass "pc$i pinned a key" || fail "pc$i: keyring"
done

# --- 2: sealed to pc2, plain to pc3, forgeries in pc2's name ---------------------------------------
NOW=$(date '+%Y/%m/%d %-H:%M:%S')
K2="to pc2\\pc1\\pc2\\$NOW"
K3="to pc3\\pc1\\pc3\\$NOW"
printf '\aS\\%s\\\bsealed hello\r\n\aS\\%s\\\bplain hello\r\n' "$K2" "$K3" >"$(box 1 vnsend.txt)"
start 2
# The peer listens before pc1 starts, so that it hears pc1's first try.
# The forged read receipt goes after pc2's delivery receipt has had its tick, so that it would show.
peer plain expect 20 "\aS\\\\$(pk "$K3")\\\\\bplain hello\r\n\0" sleep 4 \
    send pc1 "\aR\\\\$(pk "$K2")\\\\2000/01/01 0:00:00\b\0" \
    send pc1 "\aS\\\\forged\\\\pc2\\\\pc1\\\\$NOW\\\\\bfrom pc2, honestly\r\n\0" sleep 3 &
PEER_PID=$!
sleep 0.5
start 1
wait "$PEER_PID" && pass "the copy without a key got plain mail" || fail "peer: no plain mail from pc1"
sleep 3
stop 1
grep -qaF "$(printf '\aG\\%s\\\b' "$K2")" "$(box 1 vnsend.txt)" && pass "pc2's sealed delivery receipt applied, the forged read receipt not" ||
    fail "pc1's copy to pc2 is not G with an empty read time"
marked 1 S "$K2" && marked 2 P "$K2" && pass "the copy went sealed and came sealed from the pinned key" || fail "seal marks of the mail to pc2"
grep -qaF 'from pc2, honestly' "$(box 1 vnread.txt)" && ! marked 1 P "forged\\pc2\\pc1\\$NOW" &&
    pass "the forged plain mail is kept as not sealed" || fail "the forged plain mail"

# --- 3: sealed only ----------------------------------------------------------------------------------
printf 'SealedOnly=1\n' >>"$W/pc1/config/kobu/varnel.conf"
start 1
peer refused send pc1 "\aS\\\\refused\\\\pc2\\\\pc1\\\\$NOW\\\\\bplain again\r\n\0" absent 3 "\aG\\\\refused\\\\pc2\\\\pc1\\\\$NOW\\\\\b\0" ||
    fail "pc1 answered plain mail with 封印メールのみ on"
stop 1
grep -qaF 'plain again' "$(box 1 vnread.txt)" && fail "pc1 stored plain mail with 封印メールのみ on" || pass "封印メールのみ refused the plain mail"
sed -i '/^SealedOnly=/d' "$W/pc1/config/kobu/varnel.conf"

# --- 4: a new key ------------------------------------------------------------------------------------
stop 2
mv "$W/pc2/config/kobu/identity.key" "$W/old-identity.key"
K4="new key\\pc2\\pc1\\$NOW"
printf '\aS\\%s\\\bfrom a new key\r\n' "$K4" >"$(box 2 vnsend.txt)"
start 1
start 2
sleep 6
stop 2
stop 1
grep -q 'the key of pc2 changed' "$W/pc1/stderr.log" && pass "pc1 warned of pc2's new key" || fail "no warning of the new key"
grep -qaF 'from a new key' "$(box 1 vnread.txt)" && marked 1 U "$K4" && pass "the mail under the new key is kept, marked" ||
    fail "the mail under the new key"
