#!/usr/bin/env bash
# netns-arp-test.sh <arp_engine_tool>
# Both ARP engines on a virtual LAN of the test's own: answering and silent machines, a machine
# that answers twice with two MACs, an off-link range (no request on the wire), the scanner's own
# address, the kernel engine as an unprivileged user, and a neighbour table far smaller than the
# machines scanned. Exits 77 without root rights or network namespaces.
set -u
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns-lan.sh"
lan_require_root
command -v python3 >/dev/null || { echo "skipped: the capture needs python3"; exit 77; }
command -v setpriv >/dev/null || { echo "skipped: no setpriv (util-linux)"; exit 77; }

lan_test_init arp

lan_up 10.77.0.1/20 || { echo "FAIL: lan_up"; exit 1; }
own_mac=$(lan_exec_scanner cat /sys/class/net/$LAN_IF/address | tr a-f: A-F-)
mac_of() { printf '02-00-00-00-%02X-%02X' "$1" "$2"; }  # MAC text of host (group, number)
: >"$work/answering"
for n in $(seq 10 29) $(seq 41 45); do
  echo "10.77.0.$n $(mac_of 0 "$n" | tr - :)" >>"$work/hosts"
  printf '10.77.0.%s\t%s\n' "$n" "$(mac_of 0 "$n")" >>"$work/answering"
done
# 10.77.0.60 is held by two machines: each answers with its own MAC.
echo "10.77.0.60 02:00:00:00:01:60" >>"$work/hosts"
echo "10.77.0.60 02:00:00:00:02:60" >>"$work/hosts"
lan_hosts <"$work/hosts" || { echo "FAIL: lan_hosts"; exit 1; }

run() {  # run NAME ARGS...: the tool's standard output in $work/NAME.out, its errors in NAME.err
  local name=$1
  shift
  "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.status"
}
check_found() {  # check_found NAME EXPECTED-FILE ENGINE
  local name=$1
  if [ "$(cat "$work/$name.status")" != 0 ]; then fail "$name: exit $(cat "$work/$name.status"): $(cat "$work/$name.err")"
  elif ! grep -qx "engine: $3" "$work/$name.err"; then fail "$name: not the $3 engine: $(cat "$work/$name.err")"
  elif ! diff -u "$2" "$work/$name.out"; then fail "$name: wrong machines"
  else pass "$name ($(grep elapsed "$work/$name.err"))"
  fi
}

# Answering, silent (30-40, 46-59, 61-99) and the twice-answering machine: one line, one of its MACs.
for engine in raw kernel; do
  run "$engine-range" lan_exec_scanner "$tool" --"$engine" --threads 90 10.77.0.2-10.77.0.59 10.77.0.61-10.77.0.99
  check_found "$engine-range" "$work/answering" "$engine"
  run "$engine-twice" lan_exec_scanner "$tool" --"$engine" 10.77.0.60
  out=$(cat "$work/$engine-twice.out")
  case "$out" in
    $'10.77.0.60\t02-00-00-00-01-60' | $'10.77.0.60\t02-00-00-00-02-60') pass "$engine: one answer of two: $out" ;;
    *) fail "$engine: the machine answering twice gave: $out" ;;
  esac
  lan_exec_scanner ip neigh flush dev "$LAN_IF"
done

# The scanner's own address: its interface's MAC, for both engines.
for engine in raw kernel; do
  printf '10.77.0.1\t%s\n' "$own_mac" >"$work/own"
  run "$engine-own" lan_exec_scanner "$tool" --"$engine" 10.77.0.1
  check_found "$engine-own" "$work/own" "$engine"
done

# An off-link range: no request leaves, and no address waits for its time-out (10 s here, so that
# a slow machine cannot be mistaken for a wait).
lan_exec_hosts python3 "$here/arp_capture.py" "$LAN_TRUNK" 4 >"$work/capture" 2>&1 &
capture=$!
for _ in $(seq 50); do grep -q ready "$work/capture" && break; sleep 0.1; done
for engine in raw kernel; do
  run "$engine-offlink" lan_exec_scanner "$tool" --"$engine" --timeout 10000 10.88.0.1-10.88.0.40 10.77.0.0 \
    10.77.15.255
  check_found "$engine-offlink" /dev/null "$engine"
  ms=$(sed -n 's/elapsed ms: //p' "$work/$engine-offlink.err")
  [ "${ms:-99999}" -lt 10000 ] || fail "$engine: the off-link range waited ${ms} ms"
done
lan_exec_scanner "$tool" --raw 10.77.0.12 >/dev/null 2>&1  # one request that must be seen
wait "$capture"
if grep -q 'request 10.88.\|request 10.77.0.0 \|request 10.77.15.255 ' "$work/capture"; then
  fail "requests for off-link or network/broadcast addresses: $(grep request "$work/capture")"
elif ! grep -q 'request 10.77.0.12 from 10.77.0.1$' "$work/capture"; then
  fail "the capture did not see the control request: $(cat "$work/capture")"
else
  pass "nothing sent for the off-link range"
fi

# The kernel engine as nobody: the raw engine is refused, the kernel engine finds everyone.
bin=$(mktemp -d /tmp/quarvo-arp-bin.XXXXXX)
chmod 0755 "$bin" && cp "$tool" "$bin/tool" && chmod 0755 "$bin/tool"
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
run nobody-raw lan_exec_scanner "${nobody[@]}" "$bin/tool" --raw 10.77.0.10
if [ "$(cat "$work/nobody-raw.status")" = 1 ] && grep -q 'CAP_NET_RAW' "$work/nobody-raw.err"; then
  pass "raw engine refused to nobody: $(cat "$work/nobody-raw.err")"
else
  fail "raw engine as nobody: exit $(cat "$work/nobody-raw.status"), $(cat "$work/nobody-raw.err")"
fi
run nobody-kernel lan_exec_scanner "${nobody[@]}" "$bin/tool" --threads 90 10.77.0.2-10.77.0.59 10.77.0.61-10.77.0.99
check_found nobody-kernel "$work/answering" kernel

# A full neighbour table. Its limit (gc_thresh3, 1024 by default) is the whole machine's, not the
# namespace's, so it is not lowered here: 1000 workers of the kernel engine over a /20 keep about
# 1000 unresolved entries alive (the kernel gives up on each only after 3 s) and fill it. The 40
# machines at the top of the range are asked while it is full; every one must be found.
table_fulls() {
  local n=0 line
  while read -r line; do n=$((n + 0x${line##* })); done < <(tail -n +2 /proc/net/stat/arp_cache)
  echo $n
}
limit=$(cat /proc/sys/net/ipv4/neigh/default/gc_thresh3)
if [ "$limit" -gt 2048 ]; then
  echo "skipped: the machine's neighbour table holds $limit entries, more than a /20 scan fills"
else
  lan_exec_scanner ip neigh flush dev "$LAN_IF"
  cp "$work/answering" "$work/many"
  for n in $(seq 100 139); do
    echo "10.77.15.$n $(mac_of 15 "$n" | tr - :)"
    printf '10.77.15.%s\t%s\n' "$n" "$(mac_of 15 "$n")" >>"$work/many"
  done | lan_hosts
  before=$(table_fulls)
  run full-table lan_exec_scanner "${nobody[@]}" "$bin/tool" --threads 1000 10.77.0.2-10.77.0.59 10.77.0.61-10.77.15.253
  check_found full-table "$work/many" kernel
  after=$(table_fulls)
  [ "$after" -gt "$before" ] || fail "the neighbour table never filled (table_fulls $before -> $after)"
  echo "neighbour table full $((after - before)) times during the scan"
fi
rm -rf "$bin"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "PASS"
