#!/usr/bin/env bash
# arp-lan-bench.sh <quarvo>: the Linux program against arp-scan on a virtual LAN in network
# namespaces of its own (tests/linux/netns-lan.sh), in the same run: a /24 with 200 answering
# machines among 254 addresses (254 workers) and a /20 with 800 among 4094 (1000 workers), each
# with its defaults on the same interface; then the kernel engine, unprivileged, on the /24.
# Prints "where<TAB>figure<TAB>value<TAB>goal<TAB>verdict" lines. Nothing leaves the namespaces.
set -u
quarvo=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/linux/netns-lan.sh"
if [ "$(id -u)" -ne 0 ] || ! command -v arp-scan >/dev/null; then
  echo "the LAN benchmark needs root and arp-scan: skipped" >&2
  exit 0
fi
work=$(mktemp -d /tmp/quarvo-bench.XXXXXX)
chmod 755 "$work"
mkdir "$work/bin" && chmod 755 "$work/bin" && cp "$quarvo" "$work/bin/quarvo" && chmod 755 "$work/bin/quarvo"
LAN_NO_TRAP=1
trap 'lan_down; [ -n "${QUARVO_BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

row() { printf '%s\t%s\t%s\t%s\t%s\n' "$@"; }
ms() { echo $(($(date +%s%N) / 1000000)); }
verdict() { awk -v v="$1" -v g="$2" 'BEGIN { print (v <= g) ? "met" : "MISSED" }'; }

# bench_lan NAME CIDR FIRST LAST HOSTS THREADS GOAL_RATIO MACHINES: HOSTS answering machines spread
# over the range, the addresses between them silent; MACHINES is "macvlan" (one macvlan with its own
# MAC per machine, answered by the hosts' kernel) or "responder" (bench/lan_responder.py answers for
# all of them on the trunk).
bench_lan() {
  local name=$1 cidr=$2 first=$3 last=$4 count=$5 threads=$6 goal=$7 machines=$8
  lan_up "$cidr" || { echo "lan_up failed" >&2; return 1; }
  local lo hi total
  lo=$(_lan_int "$first") hi=$(_lan_int "$last") total=$((hi - lo + 1))
  # Machines on evenly spread addresses, skipping the scanner's own and the unheld gateway.
  local own gw
  own=$(_lan_int "$LAN_ADDRESS")
  gw=$(ip -n "$LAN_SCANNER" route show default | awk '{print $3}')
  gw=$(_lan_int "$gw")
  : >"$work/expected"
  local i n=0 step=$(((total - 2) * 1000 / count)) addr
  for ((i = 0; n < count; i++)); do
    addr=$((lo + 1 + i * step / 1000))
    [ "$addr" -eq "$own" ] || [ "$addr" -eq "$gw" ] && continue
    printf '%s 02:42:%02x:%02x:%02x:%02x\n' "$(_lan_ip $addr)" $((addr >> 24 & 255)) $((addr >> 16 & 255)) \
      $((addr >> 8 & 255)) $((addr & 255)) >>"$work/expected"
    n=$((n + 1))
  done
  sort -u "$work/expected" -o "$work/expected"
  local responder=""
  if [ "$machines" = responder ]; then
    lan_exec_hosts python3 "$here/lan_responder.py" "$LAN_TRUNK" "$work/expected" >"$work/responder" 2>&1 &
    responder=$!
    for _ in $(seq 50); do grep -q ready "$work/responder" && break; sleep 0.1; done
  else
    lan_hosts <"$work/expected"
  fi
  awk '{ m = toupper($2); gsub(":", "-", m); print $1, m }' "$work/expected" | sort >"$work/want"

  # arp-scan with its defaults.
  local t0 t1 scanwall
  t0=$(ms)
  lan_exec_scanner arp-scan -q -x -I "$LAN_IF" "$first-$last" >"$work/arpscan.out" 2>/dev/null
  t1=$(ms)
  scanwall=$((t1 - t0))
  awk '{ m = toupper($2); gsub(":", "-", m); print $1, m }' "$work/arpscan.out" | sort -u >"$work/arpscan"

  # quarvo, raw engine (root), after the kernel forgot what arp-scan's answers taught it.
  lan_exec_scanner ip neigh flush dev "$LAN_IF" >/dev/null 2>&1
  t0=$(ms)
  lan_exec_scanner /usr/bin/time -f '%M %U %S' -o "$work/time" "$work/bin/quarvo" scan "$first" "$last" \
    --threads "$threads" --tsv >"$work/quarvo.out" 2>"$work/quarvo.err"
  t1=$(ms)
  local qwall=$((t1 - t0))
  awk -F'\t' '{ print $2, $3 }' "$work/quarvo.out" | grep -v "^$LAN_ADDRESS " | sort -u >"$work/quarvo"
  local want found_q right_q invented_q found_a right_a
  want=$(wc -l <"$work/want")
  found_q=$(wc -l <"$work/quarvo")
  right_q=$(comm -12 "$work/want" "$work/quarvo" | wc -l)
  invented_q=$((found_q - right_q))
  found_a=$(wc -l <"$work/arpscan")
  right_a=$(comm -12 "$work/want" "$work/arpscan" | wc -l)
  local rss user sys
  read -r rss user sys < <(tail -n 1 "$work/time")
  local ratio
  ratio=$(awk -v q="$qwall" -v a="$scanwall" 'BEGIN { printf "%.2f", q / a }')
  local all_ok=no
  [ "$right_q" -eq "$want" ] && [ "$invented_q" -eq 0 ] && all_ok=yes
  row "LAN $name" "machines answering ($machines)" "$want" "" ""
  row "LAN $name" "arp-scan: found, right MAC" "$found_a, $right_a" "" ""
  row "LAN $name" "quarvo raw: found, right MAC, invented" "$found_q, $right_q, $invented_q" "all, none invented" \
    "$([ $all_ok = yes ] && echo met || echo MISSED)"
  row "LAN $name" "wall: arp-scan / quarvo" "$scanwall / $qwall ms" "" ""
  row "LAN $name" "wall quarvo / arp-scan" "$ratio" "<= $goal" "$(verdict "$ratio" "$goal")"
  row "LAN $name" "quarvo peak RSS" "$((rss / 1024)) MB" "<= 64 MB" "$(verdict "$((rss / 1024))" 64)"
  row "LAN $name" "quarvo CPU time (user + sys)" "$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f s", u + s }')" "" ""

  if [ "$name" = "/24" ]; then
    # The kernel engine: the same scan as nobody, with no raw socket.
    lan_exec_scanner ip neigh flush dev "$LAN_IF" >/dev/null 2>&1
    t0=$(ms)
    lan_exec_scanner setpriv --reuid=65534 --regid=65534 --clear-groups "$work/bin/quarvo" scan "$first" "$last" \
      --threads "$threads" --tsv >"$work/kernel.out" 2>"$work/kernel.err"
    t1=$(ms)
    awk -F'\t' '{ print $2, $3 }' "$work/kernel.out" | grep -v "^$LAN_ADDRESS " | sort -u >"$work/kernel"
    local right_k
    right_k=$(comm -12 "$work/want" "$work/kernel" | wc -l)
    row "LAN $name" "quarvo kernel engine (unprivileged): found, right MAC" \
      "$(wc -l <"$work/kernel"), $right_k" "" ""
    row "LAN $name" "quarvo kernel engine: wall" "$((t1 - t0)) ms" "" ""
    # Names on: each answering machine's vendor and host name looked up beside the scan (the
    # LAN's resolver is none, and its machines refuse NetBIOS), the scan's own time from its summary.
    lan_exec_scanner ip neigh flush dev "$LAN_IF" >/dev/null 2>&1
    t0=$(ms)
    lan_exec_scanner "$work/bin/quarvo" scan "$first" "$last" --threads "$threads" --json \
      >"$work/names.out" 2>"$work/names.err"
    t1=$(ms)
    local plain named
    plain=$(grep -o '扫描耗时: [0-9]* ms' "$work/quarvo.err" | grep -o '[0-9]*')
    named=$(grep -o '扫描耗时: [0-9]* ms' "$work/names.err" | grep -o '[0-9]*')
    row "LAN $name" "quarvo raw scan time (summary): plain / --json with names" "$plain / $named ms" \
      "names no slower" "$(awk -v p="$plain" -v n="$named" 'BEGIN { print (n <= p * 1.1 + 20) ? "met" : "MISSED" }')"
    row "LAN $name" "  --json: lines, wall until the last name" "$(wc -l <"$work/names.out"), $((t1 - t0)) ms" "" ""
  fi
  [ -n "$responder" ] && kill "$responder" 2>/dev/null && wait "$responder" 2>/dev/null
  lan_down
}

bench_lan /24 10.77.0.1/24 10.77.0.1 10.77.0.254 200 254 0.6 macvlan
bench_lan /20 10.78.0.1/20 10.78.0.1 10.78.15.254 800 1000 0.3 responder
