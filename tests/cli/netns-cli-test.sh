#!/usr/bin/env bash
# netns-cli-test.sh <quarvo>
# The built program on the virtual LAN of tests/linux/netns-lan.sh (a scanner namespace and a hosts
# namespace that the fixture creates and removes; nothing leaves them): a scan finds the LAN's hosts
# with their MACs, in TSV; rows are marked against a saved list; --save writes the list's bytes
# (code page 936, CR LF) and nothing else touches it; wake sends magic packets that the hosts' side
# receives; the kernel engine serves a user without privileges; bad arguments exit 2.
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
LAN_NO_TRAP=1  # this script's own trap removes the LAN

work=$(mktemp -d /tmp/quarvo-cli-netns.XXXXXX)
chmod 755 "$work"
capture=""
cleanup() {
  [ -n "$capture" ] && kill "$capture" 2>/dev/null && wait "$capture" 2>/dev/null
  lan_down
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
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

# Wake: with no route for the broadcast the command says so and exits 1.
gateway=$(lan_exec_scanner ip -4 route show default | awk '{ print $3 }')
lan_exec_scanner ip route del default
out=$(cd "$work" && lan_exec_scanner "$quarvo" wake 02:00:00:00:00:11 2>"$work/err")
status=$?
[ "$status" -eq 1 ] && [ -z "$out" ] && grep -q 'Network is unreachable' "$work/err" ||
  fail "wake with no route: exit $status, $out $(cat "$work/err")"
lan_exec_scanner ip route add default via "$gateway" dev "$LAN_IF" onlink || fail "default route back"
lan_exec_hosts python3 "$here/../wake/wake_capture.py" 2 30 >"$work/capture" 2>&1 </dev/null &
capture=$!
for _ in $(seq 100); do
  grep -q ready "$work/capture" && break
  sleep 0.1
done
out=$(cd "$work" && lan_exec_scanner "$quarvo" wake --pause 100 --list list.txt 12 02:00:00:00:00:13 2>"$work/err")
expect "wake output ($(cat "$work/err"))" "$(printf '02-00-00-00-00-12  %s\n02:00:00:00:00:13\n唤醒' "$net.12")" \
  "$(sed -E 's/耗时.*//' <<<"$out")"
wait "$capture"
capture=""
payload() { printf ffffffffffff; for _ in $(seq 16); do printf '%s' "$1"; done; }
# Each macvlan of the hosts' side sees the broadcast: one line per packet is enough.
got=$(sed -E 's/^from [0-9.]+ //' "$work/capture" | awk '!seen[$0]++')
expect "magic packets on the hosts' side" "ready
to 255.255.255.255 len 102 $(payload 020000000012)
to 255.255.255.255 len 102 $(payload 020000000013)" "$got"

[ "$failures" -eq 0 ] || exit 1
echo "PASS: the command line on the virtual LAN"
