#!/usr/bin/env bash
# netns-cli-test.sh <quarvo>
# The built program on the virtual LAN of tests/linux/netns-lan.sh (a scanner namespace and a hosts
# namespace that the fixture creates and removes; nothing leaves them): a scan finds the LAN's hosts
# with their MACs, in TSV; rows are marked against a saved list; --save writes the list's bytes
# (code page 936, CR LF) and nothing else touches it; --rate holds on the wire; the kernel engine
# serves a user without privileges; bad arguments exit 2; --localnet scans a network once and skips an idle bridge;
# Ctrl-C ends a scan with a 60 s time-out and a wake run in a 15 s pause within a second; wake
# sends magic packets that reach the machines' LAN with no default route and with the default
# route on another interface.
# Exits 77 without root rights or without the fixture.
set -u
quarvo=$(readlink -f "$1")
here=$(cd "$(dirname "$0")" && pwd)
fixture=$here/../linux/netns-lan.sh

skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
[ -f "$fixture" ] || skip "no LAN fixture ($fixture)"
command -v python3 >/dev/null || skip "the wake receiver needs python3"
# shellcheck source=../linux/netns-lan.sh
source "$fixture"
lan_test_init cli-netns

# expect <name> <expected> <actual>
expect() {
  if [ "$2" != "$3" ]; then
    printf 'FAIL: %s\nexpected:\n%s\ngot:\n%s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

net=10.66.0  # the scanner is .1, outside .10 to .20
lan_up "$net.1/24" || { echo "FAIL: lan_up"; exit 1; }
lan_host "$net.11" 02:00:00:00:00:11 || fail "host .11"
lan_host "$net.12" 02:00:00:00:00:12 || fail "host .12"
lan_host "$net.13" 02:00:00:00:00:13 || fail "host .13"
scan() { (cd "$work" && lan_exec_scanner "$quarvo" scan "$net.10" "$net.20" "$@" 2>"$work/err"); }

# The hosts, with their MACs; .10 and .14 to .20 are silent. Range of 11 addresses: two-digit
# machine numbers from the last octet.
out=$(scan --tsv)
expect "scan --tsv (exit $?, $(cat "$work/err"))" "$(printf '%s\t%s\t%s\t%s\tNew\t√\n' \
  11 "$net.11" 02-00-00-00-00-11 2 12 "$net.12" 02-00-00-00-00-12 3 13 "$net.13" 02-00-00-00-00-13 4)" "$out"
grep -Eq '^quarvo: (raw|kernel) ARP engine$' "$work/err" || fail "engine not said: $(cat "$work/err")"
grep -q 'New: 3$' "$work/err" || fail "summary on standard error: $(cat "$work/err")"

# A saved list: .11 as it is, .12 with an older MAC, .15 gone silent, and a row whose IP cell is
# code-page-936 text ("主机").
printf '11\t%s\t02-00-00-00-00-11\r\n12\t%s\t02-00-00-00-00-99\r\n15\t%s\t02-00-00-00-00-15\r\n99\t\xd6\xf7\xbb\xfa\t02-00-00-00-00-98\r\n' \
  "$net.11" "$net.12" "$net.15" >"$work/saved.txt"
cp "$work/saved.txt" "$work/list.txt"
out=$(scan --tsv --list list.txt)
marks="$(printf '%s\t%s\t%s\t%s\t%s\t%s\n' \
  11 "$net.11" 02-00-00-00-00-11 0 No √ 12 "$net.12" 02-00-00-00-00-12 0 Yes √ \
  13 "$net.13" 02-00-00-00-00-13 4 New √ 15 "$net.15" 02-00-00-00-00-15 0 No × \
  99 主机 02-00-00-00-00-98 0 No ×)"
expect "marks against the list" "$marks" "$out"
cmp -s "$work/list.txt" "$work/saved.txt" || fail "the list changed without --save"

out=$(scan --list list.txt --save)
grep -q 'IP: 3/5　New: 1$' <<<"$out" || fail "table summary: $out"
printf '11\t%s\t02-00-00-00-00-11\r\n12\t%s\t02-00-00-00-00-12\r\n13\t%s\t02-00-00-00-00-13\r\n15\t%s\t02-00-00-00-00-15\r\n99\t\xd6\xf7\xbb\xfa\t02-00-00-00-00-98\r\n' \
  "$net.11" "$net.12" "$net.13" "$net.15" >"$work/merged.txt"
cmp "$work/list.txt" "$work/merged.txt" || fail "--save bytes"
[ -z "$(ls "$work" | grep -v -x -e saved.txt -e list.txt -e merged.txt -e err)" ] ||
  fail "files besides the list: $(ls "$work")"

# --rate: the hosts are found, and the hosts' side never sees more requests in a second, resends
# included. (Before the kernel engine's scan, whose kernel keeps asking silent addresses for seconds.)
ip netns exec "$LAN_HOSTS" python3 "$here/../linux/arp_wire_count.py" "$LAN_TRUNK" >"$work/wire" 2>&1 </dev/null &
lan_child=$!
for _ in $(seq 100); do
  grep -q ready "$work/wire" && break
  sleep 0.1
done
out=$(scan --tsv --rate 10)
kill -TERM "$lan_child"
wait "$lan_child"
lan_child=""
expect "scan --rate 10 ($(cat "$work/err"))" "$(printf '%s\t%s\t%s\t%s\tNew\t√\n' \
  11 "$net.11" 02-00-00-00-00-11 2 12 "$net.12" 02-00-00-00-00-12 3 13 "$net.13" 02-00-00-00-00-13 4)" "$out"
read -r _ requests _ busiest < <(grep busiest "$work/wire")
[ "${requests:-0}" -ge 11 ] && [ "${busiest:-99}" -le 10 ] ||
  fail "--rate 10: $(cat "$work/wire")"

# Without privileges the kernel engine answers, and says so.
out=$(cd "$work" && lan_exec_scanner setpriv --reuid=65534 --regid=65534 --clear-groups \
  "$quarvo" scan "$net.10" "$net.20" --tsv 2>"$work/err")
grep -qx 'quarvo: kernel ARP engine' "$work/err" || fail "unprivileged engine: $(cat "$work/err")"
expect "kernel engine scan" "$(printf '%s\t%s\t%s\t%s\tNew\t√\n' \
  11 "$net.11" 02-00-00-00-00-11 2 12 "$net.12" 02-00-00-00-00-12 3 13 "$net.13" 02-00-00-00-00-13 4)" "$out"

# Bad arguments: exit 2, nothing on standard output.
out=$(lan_exec_scanner "$quarvo" scan "$net.10" "$net.20" --threads 1x 2>"$work/err")
status=$?
[ "$status" -eq 2 ] && [ -z "$out" ] && grep -q "'1x' is not a valid integer value" "$work/err" ||
  fail "bad threads: exit $status, $out $(cat "$work/err")"

# --localnet: a second address of the LAN's interface in its network and an idle container bridge
# (its one port's far end gone: no carrier) beside it. The LAN is scanned once and the bridge's /16
# not at all, which is said.
lan_exec_scanner ip addr add "$net.5/24" dev "$LAN_IF" || fail "second address"
lan_exec_scanner ip link add br-idle type bridge && lan_exec_scanner ip addr add 172.30.0.1/16 dev br-idle &&
  lan_exec_scanner ip link add vb0 type veth peer name vb1 && lan_exec_scanner ip link set vb0 master br-idle &&
  lan_exec_scanner ip link set vb0 up && lan_exec_scanner ip link set br-idle up || fail "idle bridge"
# A bridge that never had a port: the kernel says it has carrier, but nobody is behind it.
lan_exec_scanner ip link add br-empty type bridge && lan_exec_scanner ip addr add 172.31.0.1/16 dev br-empty &&
  lan_exec_scanner ip link set br-empty up || fail "empty bridge"
own_mac=$(lan_exec_scanner cat /sys/class/net/$LAN_IF/address | tr a-f: A-F-)
started=$(date +%s)
out=$(cd "$work" && lan_exec_scanner "$quarvo" scan --localnet --tsv --timeout 300 2>"$work/err")
status=$?
took=$(($(date +%s) - started))
expect "--localnet (exit $status, $took s, $(cat "$work/err"))" "$(printf '%s\t%s\t%s\t%s\tNew\t√\n' \
  001 "$net.1" "$own_mac" 1 005 "$net.5" "$own_mac" 5 011 "$net.11" 02-00-00-00-00-11 11 \
  012 "$net.12" 02-00-00-00-00-12 12 013 "$net.13" 02-00-00-00-00-13 13)" "$out"
[ "$(grep -c '^quarvo: scanning ' "$work/err")" = 1 ] || fail "--localnet scanned: $(grep scanning "$work/err")"
grep -qx 'quarvo: skipping br-idle 172.30.0.0/16: it has no link (no carrier)' "$work/err" ||
  fail "the idle bridge is not said: $(cat "$work/err")"
grep -qx 'quarvo: skipping br-empty 172.31.0.0/16: it has no link (no carrier)' "$work/err" ||
  fail "the bridge without ports is not said: $(cat "$work/err")"
[ "$took" -lt 30 ] || fail "--localnet took $took s"
lan_exec_scanner ip link del br-idle
lan_exec_scanner ip link del br-empty
lan_exec_scanner ip link del vb0
lan_exec_scanner ip addr del "$net.5/24" dev "$LAN_IF"

# Stop means now: Ctrl-C stops a scan that would take long (one worker asking .11 to .99 in turn at
# 20 requests a second, the silent addresses after the three machines each asked more than once,
# up to 60 s for an answer), with the raw engine (root) and the kernel engine (no privilege), and a
# wake run in its 15 s pause; each ends within a second and prints what it found or sent.
# Within a second natively; a sanitizer build's own exit (its checks of every thread) takes longer.
stop_bound=${QUARVO_STOP_BOUND_MS:-1000}
interrupt() {  # interrupt NAME AFTER-SECONDS ARGS...: exit status and milliseconds from Ctrl-C to exit
  local name=$1 after=$2
  shift 2
  (cd "$work" && exec ip netns exec "$LAN_SCANNER" "$@" >"$work/$name.out" 2>"$work/$name.err") &
  local pid=$!
  sleep "$after"
  local sent=$(date +%s%N)
  kill -INT "$pid"
  wait "$pid"
  echo "$? $((($(date +%s%N) - sent) / 1000000))"
}
found="$(printf '%s\t%s\n' "$net.11" 02-00-00-00-00-11 "$net.12" 02-00-00-00-00-12 "$net.13" 02-00-00-00-00-13)"
for who in root nobody; do
  as=()
  [ "$who" = nobody ] && as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  lan_exec_scanner ip neigh flush dev "$LAN_IF"  # no held entries: those take the kernel seconds
  read -r status ms < <(interrupt "stop-$who" 3 "${as[@]}" "$quarvo" scan "$net.11" "$net.99" --threads 1 \
    --timeout 60000 --rate 20 --tsv)
  [ "$status" = 130 ] && [ "$ms" -lt "$stop_bound" ] ||
    fail "Ctrl-C of a scan as $who: exit $status after $ms ms: $(cat "$work/stop-$who.err")"
  expect "rows found before Ctrl-C as $who ($(cat "$work/stop-$who.err"))" "$found" "$(cut -f2,3 "$work/stop-$who.out")"
done
read -r status ms < <(interrupt wake-stop 1 "$quarvo" wake --pause 15000 02:00:00:00:00:11 02:00:00:00:00:12)
[ "$status" = 130 ] && [ "$ms" -lt "$stop_bound" ] && grep -qx '02:00:00:00:00:11' "$work/wake-stop.out" ||
  fail "Ctrl-C in a wake pause: exit $status after $ms ms: $(cat "$work/wake-stop.out" "$work/wake-stop.err")"

# Wake: each packet leaves by the LAN that holds the machine, to its broadcast address and to the
# limited one; also with no default route at all (an isolated lab LAN), and with the default route
# on another interface (the uplink of a laptop). Captured on the wire of the hosts' side.
payload() { printf ffffffffffff; for _ in $(seq 16); do printf '%s' "$1"; done; }
capture_wake() {  # capture_wake COUNT: the capture runs in the background until COUNT datagrams
  lan_exec_hosts python3 "$here/../wake/wake_capture.py" "$1" 30 "$LAN_TRUNK" >"$work/capture" 2>&1 </dev/null &
  lan_child=$!
  for _ in $(seq 100); do
    grep -q ready "$work/capture" && break
    sleep 0.1
  done
}
captured() {  # one line per packet (the segment may show a frame more than once)
  wait "$lan_child"
  lan_child=""
  sed -E 's/^from [0-9.]+ //' "$work/capture" | awk '!seen[$0]++'
}
lan_exec_scanner ip route del default
capture_wake 2
out=$(cd "$work" && lan_exec_scanner "$quarvo" wake 02:00:00:00:00:11 2>"$work/err")
expect "wake with no default route (exit $?, $(cat "$work/err"))" "02:00:00:00:00:11" "$(sed -n 1p <<<"$out")"
expect "magic packets with no default route" "ready
to $net.255 len 102 $(payload 020000000011)
to 255.255.255.255 len 102 $(payload 020000000011)" "$(captured)"

lan_exec_scanner ip link add up0 type veth peer name up1 && lan_exec_scanner ip addr add 192.168.99.1/24 dev up0 &&
  lan_exec_scanner ip link set up1 up && lan_exec_scanner ip link set up0 up &&
  lan_exec_scanner ip route add default via 192.168.99.254 dev up0 onlink || fail "uplink"
capture_wake 4
out=$(cd "$work" && lan_exec_scanner "$quarvo" wake --pause 100 --list list.txt 12 02:00:00:00:00:13 2>"$work/err")
expect "wake output ($(cat "$work/err"))" "$(printf '02-00-00-00-00-12  %s\n02:00:00:00:00:13\n唤醒' "$net.12")" \
  "$(sed -E 's/耗时.*//' <<<"$out")"
grep -q 'IP: 2/2$' <<<"$out" || fail "wake summary: $out"
expect "magic packets on the machines' LAN, the default route elsewhere" "ready
to $net.255 len 102 $(payload 020000000012)
to 255.255.255.255 len 102 $(payload 020000000012)
to $net.255 len 102 $(payload 020000000013)
to 255.255.255.255 len 102 $(payload 020000000013)" "$(captured)"

[ "$failures" -eq 0 ] || exit 1
echo "PASS: the command line on the virtual LAN"
