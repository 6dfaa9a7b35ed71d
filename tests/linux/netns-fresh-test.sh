#!/usr/bin/env bash
# netns-fresh-test.sh <arp_engine_tool>
# The ARP engines against the network as it is, on a virtual LAN of the test's own (nothing leaves
# its namespaces): held neighbour entries that say nothing about now (a machine that left, an
# address where nothing lives, a machine still there, a permanent entry), a second scan right after
# a first; two interfaces on one network whose route metrics favour the second; an interface
# renumbered while the engine stays open. Exits 77 without root rights or network namespaces.
set -u
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns-lan.sh"
lan_require_root

lan_test_init fresh

net=10.78.0
lan_up "$net.1/24" || { echo "FAIL: lan_up"; exit 1; }
mac_of() { printf '02:00:00:00:00:%02x' "$1"; }
for n in 10 11 12 13 20; do echo "$net.$n $(mac_of "$n")"; done | lan_hosts || { echo "FAIL: lan_hosts"; exit 1; }
: >"$work/present"
for n in 10 11 12 13; do printf '%s.%s\t%s\n' "$net" "$n" "$(mac_of "$n" | tr a-f: A-F-)" >>"$work/present"; done

run() {  # run NAME ARGS...: the tool's standard output in $work/NAME.out, its errors in NAME.err
  local name=$1
  shift
  "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.status"
}
elapsed() { sed -n 's/elapsed ms: //p' "$work/$1.err" | tail -1; }
check_found() {  # check_found NAME EXPECTED-FILE
  if [ "$(cat "$work/$1.status")" != 0 ]; then fail "$1: exit $(cat "$work/$1.status"): $(cat "$work/$1.err")"
  elif ! diff -u "$2" "$work/$1.out"; then fail "$1: wrong machines"
  else pass "$1 ($(elapsed "$1") ms)"
  fi
}
neigh() { lan_exec_scanner ip neigh replace "$net.$1" lladdr "$(mac_of "$1")" dev "$LAN_IF" nud "$2"; }

# Fresh answers only. .20 answered once and then left; nothing ever lived at .21; .12 is still
# there behind a stale entry; .30 has a permanent entry and no machine. Only the machines there now
# count, whatever the kernel holds; the permanent entry is named, as the kernel never asks for it.
for engine in kernel raw; do
  lan_exec_scanner ip neigh flush dev "$LAN_IF"
  run "$engine-before" lan_exec_scanner "$tool" --"$engine" "$net.20"
  grep -q "^$net.20	" "$work/$engine-before.out" || fail "$engine: .20 did not answer before it left"
  lan_exec_hosts ip link set "m$(mac_of 20 | tr -d :)" down
  neigh 20 stale && neigh 21 stale && neigh 12 stale && neigh 30 permanent || fail "neighbour entries"
  run "$engine-fresh" lan_exec_scanner "$tool" --"$engine" --timeout 1000 "$net.10-$net.40"
  check_found "$engine-fresh" "$work/present"
  if [ "$engine" = kernel ]; then
    grep -q "^note: $net.30 has a permanent neighbour entry on $LAN_IF" "$work/$engine-fresh.err" ||
      fail "the permanent entry is not named: $(cat "$work/$engine-fresh.err")"
    # Right after, every machine is freshly confirmed: found at once, not after the 20 s time-out.
    run "$engine-again" lan_exec_scanner "$tool" --"$engine" --timeout 20000 "$net.10-$net.13"
    check_found "$engine-again" "$work/present"
    [ "$(elapsed "$engine-again")" -lt 5000 ] || fail "the second scan waited $(elapsed "$engine-again") ms"
  fi
  lan_exec_hosts ip link set "m$(mac_of 20 | tr -d :)" up
done

# Two interfaces on one network, as a laptop on wired and wireless at once: the kernel prefers s1
# (metric 100) over lan0 (metric 600) and files its entries there. Both engines find every machine.
lan_exec_scanner ip neigh flush dev "$LAN_IF"
lan_exec_scanner ip addr del "$net.1/24" dev "$LAN_IF" &&
  lan_exec_scanner ip addr add "$net.1/24" dev "$LAN_IF" metric 600 &&
  lan_exec_scanner ip link add s1 link "$LAN_IF" type macvlan mode bridge &&
  lan_exec_scanner ip addr add "$net.2/24" dev s1 metric 100 && lan_exec_scanner ip link set s1 up ||
  fail "second interface"
s1_mac=$(lan_exec_scanner cat /sys/class/net/s1/address)
for n in 10 11 12 13; do
  lan_exec_hosts ip neigh replace "$net.2" lladdr "$s1_mac" dev "m$(mac_of "$n" | tr -d :)" nud permanent
done
for engine in kernel raw; do
  lan_exec_scanner ip neigh flush dev s1
  lan_exec_scanner ip neigh flush dev "$LAN_IF"
  run "$engine-metric" lan_exec_scanner "$tool" --"$engine" --timeout 1500 "$net.10-$net.13"
  check_found "$engine-metric" "$work/present"
done
lan_exec_scanner ip link del s1

# Renumbered while the engine stays open (a DHCP move, a re-plugged adapter): the first scan finds
# the LAN on no interface and says so; after the move the next scan, same engine, finds everyone.
for engine in kernel raw; do
  lan_exec_scanner ip addr flush dev "$LAN_IF"
  lan_exec_scanner ip addr add 10.79.0.1/24 dev "$LAN_IF"
  rm -f "$work/in" && mkfifo "$work/in"
  exec 3<>"$work/in"  # read-write: opening it never waits for the tool
  lan_exec_scanner "$tool" --"$engine" --again --timeout 1000 "$net.10-$net.13" <"$work/in" 3>&- \
    >"$work/$engine-moved.out" 2>"$work/$engine-moved.err" &
  lan_child=$!
  for _ in $(seq 100); do [ "$(grep -c '^--$' "$work/$engine-moved.out")" -ge 1 ] && break; sleep 0.1; done
  lan_exec_scanner ip addr flush dev "$LAN_IF"
  lan_exec_scanner ip addr add "$net.1/24" dev "$LAN_IF"
  echo again >&3
  exec 3>&-
  wait "$lan_child"
  lan_child=""
  { echo --; cat "$work/present"; echo --; } >"$work/moved-expected"
  if ! diff -u "$work/moved-expected" "$work/$engine-moved.out"; then
    fail "$engine: renumbered: $(cat "$work/$engine-moved.err")"
  elif ! grep -q "^note: $net.10 - $net.13: no Ethernet interface" "$work/$engine-moved.err"; then
    fail "$engine: the range off every network is not said: $(cat "$work/$engine-moved.err")"
  else
    pass "$engine: the scan after the renumbering finds everyone"
  fi
done

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "PASS"
