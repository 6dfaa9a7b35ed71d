#!/usr/bin/env bash
# netns-helper-test.sh <quarvo-arp> <arp_engine_tool>
# The ARP helper on a virtual LAN of the test's own, driven as any local user could drive it
# (tests/linux/helper_client.py) and by the engine as a user without privilege: it holds no
# capability once it reads requests; it asks only for machines of the named interface's networks,
# refuses the rest, and reads the interfaces again when they change; a malformed record or a closed
# pair ends it; its rate cap holds on the wire in every second; the engine scans through it, and
# falls back to the kernel engine when it is missing, lacks the capability or dies. What went out
# is captured on the hosts' side. Exits 77 without root rights, namespaces or file capabilities.
set -u
helper=$1 tool=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns-lan.sh"
lan_require_root
command -v python3 >/dev/null || { echo "skipped: the client needs python3"; exit 77; }
command -v setpriv >/dev/null && command -v setcap >/dev/null || { echo "skipped: no setpriv or setcap"; exit 77; }

lan_test_init helper

# Copies a nobody may run: the helper with the capability, one without, the tool beside neither.
mkdir -p "$work/capable" "$work/plain" "$work/tool"
cp "$helper" "$work/capable/quarvo-arp" && cp "$helper" "$work/plain/quarvo-arp" && cp "$tool" "$work/tool/tool"
chmod -R a+rX "$work"
setcap cap_net_raw+ep "$work/capable/quarvo-arp" 2>/dev/null || { echo "skipped: no file capabilities here"; exit 77; }
client() { lan_exec_scanner python3 "$here/helper_client.py" "$work/capable/quarvo-arp" 65534 "$@"; }
capture() {  # capture NAME SECONDS: ARP requests on the hosts' side, with times, into $work/NAME
  lan_exec_hosts python3 "$here/arp_capture.py" "$LAN_TRUNK" "$2" times >"$work/$1" 2>&1 &
  capturing=$!
  for _ in $(seq 50); do grep -q ready "$work/$1" && return; sleep 0.1; done
}

lan_up 10.78.0.1/16 || { echo "FAIL: lan_up"; exit 1; }
printf '10.78.0.10 02:00:00:00:00:10\n10.78.0.11 02:00:00:00:00:11\n10.90.0.20 02:00:00:00:90:20\n' | lan_hosts ||
  { echo "FAIL: lan_hosts"; exit 1; }
ifindex=$(lan_exec_scanner cat /sys/class/net/$LAN_IF/ifindex)

# What it asks for and what it refuses. While it runs, the scanner gets a second network: the
# helper must read its interfaces again for 10.90.0.20.
capture asks 9
(sleep 1; lan_exec_scanner ip addr add 10.90.0.1/24 dev "$LAN_IF") &
client ask "$ifindex" 2 10.78.0.10 10.78.0.12 10.79.0.1 10.78.0.0 10.78.255.255 10.78.0.1 127.0.0.1 224.0.0.1 \
  pause:2 10.90.0.20 >"$work/ask" 2>&1 &
asking=$!
sleep 0.2
client ask 9999 1 10.78.0.11 >"$work/unknown-if" 2>&1
client ask 1 1 10.78.0.11 >"$work/loopback-if" 2>&1
wait "$asking"
grep -q '^ready 10000$' "$work/ask" || fail "no ready record with the cap of 10000: $(cat "$work/ask")"
for key in CapInh CapPrm CapEff CapAmb; do
  grep -qx "status $key 0000000000000000" "$work/ask" || fail "the helper holds capabilities: $(grep status "$work/ask")"
done
grep -qx 'status NoNewPrivs 1' "$work/ask" || fail "no_new_privs is not set"
answers=$(grep -E '^(answer|refused)' "$work/ask" | sort)
expected=$(printf '%s\n' 'answer 10.78.0.10 02-00-00-00-00-10' 'answer 10.90.0.20 02-00-00-00-90-20' \
  'refused 10.78.0.0' 'refused 10.78.0.1' 'refused 10.78.255.255' 'refused 10.79.0.1' 'refused 127.0.0.1' \
  'refused 224.0.0.1' | sort)
[ "$answers" = "$expected" ] && pass "asks and refusals, and a network added while it ran" ||
  fail "answers and refusals: $answers"
grep -qx 'exit 0' "$work/ask" || fail "the helper did not end when the pair closed: $(tail -1 "$work/ask")"
for name in unknown-if loopback-if; do
  grep -qx 'refused 10.78.0.11' "$work/$name" || fail "$name: $(cat "$work/$name")"
done

# Malformed records end it (status 3) with nothing sent; so does a closed pair (status 0).
for variant in short long version kind mac rate-ifindex no-ifindex; do
  client malformed "$variant" "$ifindex" 10.78.0.11 >"$work/malformed" 2>&1
  grep -qx 'exit 3' "$work/malformed" || fail "malformed $variant: $(grep -v status "$work/malformed")"
done
client close >"$work/close" 2>&1
grep -qx 'exit 0' "$work/close" || fail "closed pair: $(cat "$work/close")"
wait "$capturing"
requests=$(sed -n 's/^[0-9.]* request //p' "$work/asks" | sort | uniq)
expected=$(printf '%s\n' '10.78.0.10 from 10.78.0.1' '10.78.0.12 from 10.78.0.1' '10.90.0.20 from 10.90.0.1' | sort)
[ "$requests" = "$expected" ] && pass "on the wire only the machines asked for" ||
  fail "requests on the wire: $requests"

# Without the capability it says so and ends.
out=$(lan_exec_scanner python3 "$here/helper_client.py" "$work/plain/quarvo-arp" 65534 close 2>&1)
[ "$out" = $'failed 1\nexit 1' ] || fail "the helper without capability: $out"

# The cap holds on the wire in every second: one the program lowered, and the packaged one that a
# program asking for more cannot raise.
cap_holds() {  # cap_holds NAME ASKED-RATE CAP LEAST FIRST COUNT: COUNT asks from FIRST on at ASKED-RATE
  local name=$1 asked=$2 cap=$3 least=$4 most
  capture "$name" 6
  client rate "$asked" "$ifindex" "$5" "$6" >"$work/$name-client" 2>&1
  wait "$capturing"
  # The most requests within any one second, by the frames' receive times.
  most=$(sed -n 's/^\([0-9.]*\) request.*/\1/p' "$work/$name" | sort -n |
    awk '{ t[NR] = $1; while (t[NR] - t[first + 1] >= 1) first++; if (NR - first > most) most = NR - first }
         END { print most + 0 }')
  [ "$most" -le "$cap" ] && [ "$most" -ge "$least" ] && pass "$name cap: $most requests in the busiest second" ||
    fail "$name cap of $cap: $most requests in one second"
}
cap_holds lowered 200 200 120 10.78.1.0 700
cap_holds packaged 1000000 10000 3000 10.78.2.0 20000

# The engine as a user without privilege: through the helper; else the kernel engine, which says why.
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
printf '10.78.0.10\t02-00-00-00-00-10\n10.78.0.11\t02-00-00-00-00-11\n' >"$work/lan"
scan() {  # scan NAME HELPER: the tool as nobody over 10.78.0.2-10.78.0.40
  lan_exec_scanner "${nobody[@]}" "$work/tool/tool" --helper "$2" --threads 40 10.78.0.2-10.78.0.40 \
    >"$work/$1.out" 2>"$work/$1.err"
}
scan through-helper "$work/capable/quarvo-arp"
grep -qx 'engine: raw (helper)' "$work/through-helper.err" && diff -u "$work/lan" "$work/through-helper.out" &&
  pass "a scan through the helper" || fail "through the helper: $(cat "$work/through-helper.err")"
for case in plain:'lacks cap_net_raw; grant it: setcap cap_net_raw+ep' missing:'No such file'; do
  scan "${case%%:*}" "$work/${case%%:*}/quarvo-arp"
  grep -qx 'engine: kernel' "$work/${case%%:*}.err" && grep -qF "${case#*:}" "$work/${case%%:*}.err" &&
    diff -u "$work/lan" "$work/${case%%:*}.out" && pass "fallback, helper ${case%%:*}" ||
    fail "helper ${case%%:*}: $(cat "$work/${case%%:*}.err")"
done
# The helper dies while workers wait for answers: the kernel engine finishes the scan (made long by
# its pace: 39 addresses at 10 requests a second, resends included).
lan_exec_scanner ip neigh flush dev "$LAN_IF"
lan_exec_scanner "${nobody[@]}" "$work/tool/tool" --helper "$work/capable/quarvo-arp" --timeout 4000 --threads 40 --rate 10 \
  10.78.0.2-10.78.0.40 >"$work/dies.out" 2>"$work/dies.err" &
scanning=$!
child=""
for _ in $(seq 50); do  # the background shell, the tool in it, the helper the tool started
  for pid in $(ps -o pid= --ppid "$scanning"); do child=$(ps -o pid= --ppid "$pid" | tr -d ' '); done
  [ -n "$child" ] && break
  sleep 0.1
done
sleep 0.5
[ -n "$child" ] && kill -9 "$child"
wait "$scanning"
grep -q 'the ARP helper has ended' "$work/dies.err" && diff -u "$work/lan" "$work/dies.out" &&
  pass "the helper died in a scan: the kernel engine finished it" || fail "helper died: $(cat "$work/dies.err")"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "PASS"
