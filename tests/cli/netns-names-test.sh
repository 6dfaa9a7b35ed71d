#!/usr/bin/env bash
# netns-names-test.sh <quarvo>
# Names on the virtual LAN of tests/linux/netns-lan.sh: a resolver in the hosts' namespace answers
# reverse lookups for one machine, a NetBIOS responder gives another its computer name, a third
# answers neither; vendors come from small registry files mounted over the system's in a mount
# namespace of the scan's own. `scan --names` shows them, `scan --json` lines parse back, and
# `--tsv` still gives six fields. Everything it creates (namespaces, servers, the scanner's
# resolver file) is removed on exit. Exits 77 without root rights, the fixture, python3 or dnsmasq.
set -u
quarvo=$(readlink -f "$1")
here=$(cd "$(dirname "$0")" && pwd)
fixture=$here/../linux/netns-lan.sh
registries=$here/../core/ieee-data

skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
[ -f "$fixture" ] || skip "no LAN fixture ($fixture)"
command -v python3 >/dev/null || skip "the NetBIOS responder needs python3"
dnsmasq=$(command -v dnsmasq || echo /usr/sbin/dnsmasq)
[ -x "$dnsmasq" ] || skip "no dnsmasq (dnsmasq-base) for the test's resolver"
# shellcheck source=../linux/netns-lan.sh
source "$fixture"
LAN_NO_TRAP=1

work=$(mktemp -d /tmp/quarvo-names-netns.XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  ip netns pids "$LAN_HOSTS" 2>/dev/null | xargs -r kill 2>/dev/null  # anything else left there
  lan_down
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {
  if [ "$2" != "$3" ]; then
    printf 'FAIL: %s\nexpected:\n%s\ngot:\n%s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

net=10.68.0
lan_up "$net.1/24" || { echo "FAIL: lan_up"; exit 1; }
# A registered vendor, a 36-bit assignment inside the registration authority's block, a local MAC.
lan_host "$net.11" 00:22:72:00:00:11 || fail "host .11"
lan_host "$net.12" 70:b3:d5:f2:f0:12 || fail "host .12"
lan_host "$net.13" 02:00:00:00:00:13 || fail "host .13"
# The machines answer the scanner's unicast through .11's interface.
lan_exec_hosts ip route add "$LAN_ADDRESS/32" dev m002272000011 || fail "route back"

# The resolver: .11 has a name, the others none.
printf '%s printer.test.lan\n' "$net.11" >"$work/hosts"
# Started with ip netns exec itself, so that $! is the server's own pid (ip execs it), and without
# the caller's other descriptors (a lock that a parent holds must not outlive this test).
ip netns exec "$LAN_HOSTS" "$dnsmasq" --keep-in-foreground --conf-file=/dev/null --no-resolv --no-hosts \
  --addn-hosts="$work/hosts" --listen-address="$net.11" --bind-interfaces --user=root --group=root \
  --pid-file="$work/dnsmasq.pid" --log-facility="$work/dnsmasq.log" </dev/null >/dev/null 2>&1 9>&- &
pids+=($!)
echo "nameserver $net.11" >"/etc/netns/$LAN_SCANNER/resolv.conf"  # made by lan_up
ip netns exec "$LAN_HOSTS" python3 "$here/netbios_responder.py" "$net.12" FAKEPC >"$work/netbios" 2>&1 </dev/null 9>&- &
pids+=($!)
for _ in $(seq 100); do
  grep -q ready "$work/netbios" && lan_exec_scanner getent hosts "$net.11" >/dev/null && break
  sleep 0.1
done
grep -q ready "$work/netbios" || fail "NetBIOS responder: $(cat "$work/netbios")"

# The scan, with the fixture registries in place of the system's (in a mount namespace of its own).
scan() {
  (cd "$work" && lan_exec_scanner unshare -m --propagation private sh -c '
    for d in /var/lib/ieee-data /usr/share/ieee-data; do [ -d "$d" ] && mount --bind "$0" "$d"; done
    exec "$@"' "$registries" "$quarvo" scan "$net.10" "$net.20" "$@" 2>"$work/err")
}
vendors=yes
[ -d /var/lib/ieee-data ] || [ -d /usr/share/ieee-data ] || vendors=""

out=$(scan --names)
status=$?
[ "$status" -eq 0 ] || fail "scan --names exit $status: $(cat "$work/err")"
row() { grep -E "^$1 " <<<"$out" | sed -E 's/ +/ /g'; }
expect "row .11" "11 $net.11 00-22-72-00-00-11 2 New √ ${vendors:+American Micro-Fuel Device Corp. }printer.test.lan" "$(row 11)"
expect "row .12" "12 $net.12 70-B3-D5-F2-F0-12 3 New √ ${vendors:+TELEPLATFORMS }FAKEPC" "$(row 12)"
expect "row .13" "13 $net.13 02-00-00-00-00-13 4 New √ randomised or local" "$(row 13)"

out=$(scan --json)
[ "$(wc -l <<<"$out")" -eq 3 ] || fail "three JSON lines: $out"
got=$(python3 -c '
import json, sys
for line in sys.stdin:
    row = json.loads(line)
    print(row["number"], row["ip"], row["mac"], row["worker"], row["change"], row["status"], row["vendor"], row["hostname"])
' <<<"$out") || fail "JSON lines do not parse: $out"
v11=None v12=None
[ -n "$vendors" ] && v11="American Micro-Fuel Device Corp." v12=TELEPLATFORMS
expect "JSON lines" "11 $net.11 00-22-72-00-00-11 2 New √ $v11 printer.test.lan
12 $net.12 70-B3-D5-F2-F0-12 3 New √ $v12 FAKEPC
13 $net.13 02-00-00-00-00-13 4 New √ randomised or local None" "$got"
grep -q 'New: 3$' "$work/err" || fail "summary on standard error: $(cat "$work/err")"

out=$(scan --tsv)
[ "$(awk -F'\t' '{ print NF }' <<<"$out" | sort -u)" = 6 ] || fail "--tsv gives six fields: $out"

[ "$failures" -eq 0 ] || exit 1
echo "PASS: names on the virtual LAN"
