#!/usr/bin/env bash
# netns-wake-test.sh <sender> [wine loader]
# Sends magic packets through the program's real socket code from network namespace A to B over a
# veth pair of the test's own, while A's default route leaves by a second link of A's own (an
# uplink elsewhere; nothing leaves A but to B), and checks that B, the machines' LAN, receives for
# each MAC text a 102-byte datagram to its network's broadcast address and one to 255.255.255.255,
# port 9, and nothing for an unreadable MAC text.
# Wine makes sockets in the wineserver's namespace, so a Windows sender runs with a new prefix whose
# wineserver is started inside A, checked before anything is sent. Exits 77 without root rights or
# namespaces; the namespaces, the veth pair and the prefix are removed however the script ends.
set -u
sender=$1 loader=${2:-}
here=$(cd "$(dirname "$0")" && pwd)

skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
command -v ip >/dev/null || skip "no ip command"
command -v python3 >/dev/null || skip "the receiver needs python3"

A=qv$$a B=qv$$b prefix="" capture=""
work=$(mktemp -d /tmp/quarvo-netns.XXXXXX)

cleanup() {
  [ -n "$capture" ] && kill "$capture" 2>/dev/null && wait "$capture" 2>/dev/null
  if [ -n "$prefix" ]; then
    WINEPREFIX=$prefix ip netns exec "$A" wineserver -k >/dev/null 2>&1 </dev/null
    WINEPREFIX=$prefix ip netns exec "$A" wineserver -w >/dev/null 2>&1 </dev/null
    rm -rf "$prefix"
  fi
  ip link del "$A" 2>/dev/null  # still in the root namespace when a step before the move failed
  ip -n "$A" link del "$A" 2>/dev/null
  ip netns del "$A" 2>/dev/null
  ip netns del "$B" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() { echo "FAIL: $*"; exit 1; }

ip netns add "$A" 2>"$work/netns.err" || skip "ip netns add: $(cat "$work/netns.err")"
ip netns add "$B" && ip link add "$A" type veth peer name "$B" || fail "ip netns add $B, veth"
ip link set "$A" netns "$A" && ip link set "$B" netns "$B" || fail "moving the veth ends"
ip -n "$A" addr add 10.77.0.1/24 dev "$A" && ip -n "$B" addr add 10.77.0.2/24 dev "$B" || fail "addresses"
for ns in "$A" "$B"; do
  ip -n "$ns" link set lo up && ip -n "$ns" link set "$ns" up || fail "link up in $ns"
done
# The default route leaves by the uplink u0, whose far end u1 is A's too: a packet that follows it
# never reaches B.
ip -n "$A" link add u0 type veth peer name u1 && ip -n "$A" addr add 192.168.99.1/24 dev u0 &&
  ip -n "$A" link set u1 up && ip -n "$A" link set u0 up &&
  ip -n "$A" route add default via 192.168.99.254 dev u0 onlink || fail "uplink and default route"
for _ in $(seq 50); do
  ip -n "$A" -o link show "$A" | grep -q 'state UP' && ip -n "$B" -o link show "$B" | grep -q 'state UP' && break
  sleep 0.1
done

if [ -n "$loader" ]; then
  prefix=$(mktemp -d /tmp/quarvo-netns-wine.XXXXXX)
  export WINEPREFIX=$prefix WINELOADER=$loader WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$(basename "$loader")" = wine64 ]; then export WINEARCH=win64; else export WINEARCH=win32; fi
  # The prefix is new, so no wineserver of it runs anywhere yet; every Wine command below runs
  # inside A, so the server it starts lives there. Output goes to files: Wine's background
  # services would keep a pipe open.
  ip netns exec "$A" wineserver -p >"$work/wine.log" 2>&1 </dev/null || fail "wineserver in $A"
  ip netns exec "$A" "$loader" wineboot >>"$work/wine.log" 2>&1 </dev/null
  inside=$(ip netns exec "$A" readlink /proc/self/ns/net)
  servers=0
  for dir in /proc/[0-9]*; do
    grep -qzxF "WINEPREFIX=$prefix" "$dir/environ" 2>/dev/null || continue
    [ "$(readlink "$dir/ns/net")" = "$inside" ] || fail "process ${dir#/proc/} of the test's Wine prefix is outside $A"
    grep -q '^wineserver' "$dir/comm" 2>/dev/null && servers=$((servers + 1))
  done
  [ "$servers" -eq 1 ] || fail "expected one wineserver of the test's prefix in $A, found $servers"
fi
send=(ip netns exec "$A" ${loader:+"$loader"} "$sender")

ip netns exec "$B" python3 "$here/wake_capture.py" 4 30 >"$work/capture.txt" 2>&1 </dev/null &
capture=$!
for _ in $(seq 100); do
  grep -q ready "$work/capture.txt" && break
  sleep 0.1
done
grep -q ready "$work/capture.txt" || fail "the receiver in $B did not start: $(cat "$work/capture.txt")"

# A MAC text without separators is refused before any socket is opened.
"${send[@]}" 001A2B3C4D5E >"$work/refused.log" 2>&1 </dev/null
status=$?
[ "$status" -eq 2 ] || fail "the sender took 001A2B3C4D5E (exit $status): $(cat "$work/refused.log")"
# The first machine's address is known (a row of the list), the second's is not (a bare MAC).
"${send[@]}" 00-1A-2B-3C-4D-5E@10.77.0.9 ff:ee:dd:cc:bb:aa >"$work/sender.log" 2>&1 </dev/null ||
  fail "the sender failed: $(cat "$work/sender.log")"

wait "$capture"
status=$? capture=""

payload() {  # the magic packet of a MAC text, as lower-case hex
  local mac=${1//[-:]/}
  printf ffffffffffff
  for _ in $(seq 16); do printf '%s' "${mac,,}"; done
}
expected="ready
from 10.77.0.1 to 10.77.0.255 len 102 $(payload 00-1A-2B-3C-4D-5E)
from 10.77.0.1 to 255.255.255.255 len 102 $(payload 00-1A-2B-3C-4D-5E)
from 10.77.0.1 to 10.77.0.255 len 102 $(payload ff:ee:dd:cc:bb:aa)
from 10.77.0.1 to 255.255.255.255 len 102 $(payload ff:ee:dd:cc:bb:aa)"
got=$(cat "$work/capture.txt")
if [ "$status" -ne 0 ] || [ "$got" != "$expected" ]; then
  printf 'expected:\n%s\nreceived in %s (receiver exit %s):\n%s\n' "$expected" "$B" "$status" "$got"
  fail "wrong datagrams"
fi
echo "PASS: two machines' magic packets captured in $B${loader:+ (sent under $(basename "$loader"))}"
