#!/usr/bin/env bash
# arp-lan-bench.sh <quarvo> [ROW...]: the Linux program against arp-scan (its defaults, same
# interface, same run) on virtual LANs in network namespaces of its own (tests/linux/netns-lan.sh).
# Rows (all by default):
#   24           a /24 with 200 macvlan machines, quarvo's defaults
#   constrained  a /20 with 800 macvlan machines, 1000 workers: one kernel clones every broadcast to
#                every macvlan, so the segment carries about 500 requests a second
#   fast20       the /20 answered by one responder on the trunk (no queue), 1000 workers
#   fast16       a /16 with 2,000 machines on the responder, 1000 workers
#   slow20       the fast /20 where one machine in ten answers after 200-400 ms
#   lossy24      the /24 with 20% of the frames dropped each way (nftables), three runs
#   rate27       --rate 15 on a /27, the requests on the wire counted in every one-second window
# Prints "where<TAB>figure<TAB>value<TAB>goal<TAB>verdict" lines. Nothing leaves the namespaces.
set -u
quarvo=$(realpath "$1")
shift
rows=${*:-24 constrained fast20 fast16 slow20 lossy24 rate27}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/linux/netns-lan.sh"
if [ "$(id -u)" -ne 0 ] || ! command -v arp-scan >/dev/null || ! command -v nft >/dev/null; then
  echo "the LAN benchmark needs root, arp-scan and nft: skipped" >&2
  exit 0
fi
work=$(mktemp -d /tmp/quarvo-bench.XXXXXX)
chmod 755 "$work"
mkdir "$work/bin" && chmod 755 "$work/bin" && cp "$quarvo" "$work/bin/quarvo" && chmod 755 "$work/bin/quarvo"
LAN_NO_TRAP=1
responder=""
stop_responder() {
  [ -n "$responder" ] && kill "$responder" 2>/dev/null && wait "$responder" 2>/dev/null
  responder=""
}
trap 'stop_responder; lan_down; [ -n "${QUARVO_BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

row() { printf '%s\t%s\t%s\t%s\t%s\n' "$@"; }
ms() { echo $(($(date +%s%N) / 1000000)); }
at_most() { awk -v v="$1" -v g="$2" 'BEGIN { print (v <= g) ? "met" : "MISSED" }'; }
ratio() { awk -v q="$1" -v a="$2" 'BEGIN { printf "%.2f", q / a }'; }
mac_form() { awk '{ m = toupper($2); gsub(":", "-", m); print $1, m }' | sort -u; }

# lan NAME CIDR FIRST LAST COUNT KIND [SLOW_EVERY]: a LAN with COUNT machines spread evenly over
# FIRST-LAST (the scanner's own address and the unheld gateway skipped, the addresses between them
# silent). KIND "macvlan": one macvlan with its own MAC per machine, answered by the hosts' kernel;
# "responder": bench/lan_responder.py answers for all of them on the trunk.
lan() {
  local cidr=$2 first=$3 last=$4 count=$5 kind=$6 slow=${7:-0}
  lan_up "$cidr" || { echo "lan_up failed" >&2; return 1; }
  local lo hi total own gw
  lo=$(_lan_int "$first") hi=$(_lan_int "$last") total=$((hi - lo + 1))
  own=$(_lan_int "$LAN_ADDRESS")
  gw=$(_lan_int "$(ip -n "$LAN_SCANNER" route show default | awk '{print $3}')")
  : >"$work/expected"
  local i n=0 step=$(((total - 2) * 1000 / count)) addr
  for ((i = 0; n < count; i++)); do
    addr=$((lo + 1 + i * step / 1000))
    [ "$addr" -eq "$own" ] || [ "$addr" -eq "$gw" ] && continue
    printf '%s 02:42:%02x:%02x:%02x:%02x\n' "$(_lan_ip $addr)" $((addr >> 24 & 255)) $((addr >> 16 & 255)) \
      $((addr >> 8 & 255)) $((addr & 255)) >>"$work/expected"
    n=$((n + 1))
  done
  if [ "$kind" = responder ]; then
    ip netns exec "$LAN_HOSTS" python3 "$here/lan_responder.py" "$LAN_TRUNK" "$work/expected" "$slow" >"$work/responder" 2>&1 &
    responder=$!
    for _ in $(seq 50); do grep -q ready "$work/responder" && break; sleep 0.1; done
  else
    lan_hosts <"$work/expected"
  fi
  mac_form <"$work/expected" >"$work/want"
}

lan_end() {
  stop_responder
  lan_down
}

# arpscan FIRST LAST: arp-scan's answers in $work/arpscan, its wall time in $scanwall (ms).
arpscan() {
  local t0
  t0=$(ms)
  lan_exec_scanner arp-scan -q -x -I "$LAN_IF" "$1-$2" 2>/dev/null | mac_form >"$work/arpscan"
  scanwall=$(($(ms) - t0))
}

# quarvo FIRST LAST ARGS...: the raw engine's answers in $work/quarvo, wall time in $qwall (ms),
# its standard error in $work/quarvo.err; after the kernel forgot what earlier scans taught it.
quarvo() {
  local first=$1 last=$2 t0
  shift 2
  lan_exec_scanner ip neigh flush dev "$LAN_IF" >/dev/null 2>&1
  t0=$(ms)
  lan_exec_scanner "$work/bin/quarvo" scan "$first" "$last" --tsv "$@" >"$work/quarvo.out" 2>"$work/quarvo.err"
  qwall=$(($(ms) - t0))
  awk -F'\t' '{ print $2, $3 }' "$work/quarvo.out" | grep -v "^$LAN_ADDRESS " | sort -u >"$work/quarvo"
}

right() { comm -12 "$work/want" "$work/$1" | wc -l; }
invented() { comm -13 "$work/want" "$work/$1" | wc -l; }
pace_note() { grep -o 'the network limited.*' "$work/quarvo.err" || echo "-"; }

# compare NAME GOAL_RATIO: the found and wall rows of one quarvo run against one arp-scan run.
compare() {
  local name=$1 goal=$2 want found_q invented_q found_a
  want=$(wc -l <"$work/want")
  found_q=$(right quarvo) invented_q=$(invented quarvo) found_a=$(right arpscan)
  local ok=MISSED
  [ "$found_q" -eq "$want" ] && [ "$invented_q" -eq 0 ] && ok=met
  row "LAN $name" "found (arp-scan)" "$found_q/$want, $invented_q invented ($found_a/$want)" "$want/$want" "$ok"
  local r
  r=$(ratio "$qwall" "$scanwall")
  row "LAN $name" "wall / arp-scan" "$r ($qwall / $scanwall ms)" "<= $goal" "$(at_most "$r" "$goal")"
  row "LAN $name" "pace" "$(pace_note)" "" ""
}

for name in $rows; do
  case $name in
    24)
      lan /24 10.77.0.1/24 10.77.0.1 10.77.0.254 200 macvlan || continue
      arpscan 10.77.0.1 10.77.0.254
      quarvo 10.77.0.1 10.77.0.254
      compare /24 0.6
      # The kernel engine: the same scan as nobody, with no raw socket (a figure, no goal).
      lan_exec_scanner ip neigh flush dev "$LAN_IF" >/dev/null 2>&1
      t0=$(ms)
      lan_exec_scanner setpriv --reuid=65534 --regid=65534 --clear-groups "$work/bin/quarvo" scan 10.77.0.1 \
        10.77.0.254 --tsv >"$work/kernel.out" 2>/dev/null
      t1=$(ms)
      awk -F'\t' '{ print $2, $3 }' "$work/kernel.out" | grep -v "^$LAN_ADDRESS " | sort -u >"$work/kernel"
      row "LAN /24" "kernel engine (unprivileged): found, wall" "$(right kernel)/200, $((t1 - t0)) ms" "" ""
      # Names on: each answering machine's vendor and host name looked up beside the scan (the
      # LAN's resolver is none, and its machines refuse NetBIOS), the scan's own time from its summary.
      lan_exec_scanner ip neigh flush dev "$LAN_IF" >/dev/null 2>&1
      t0=$(ms)
      lan_exec_scanner "$work/bin/quarvo" scan 10.77.0.1 10.77.0.254 --json >"$work/names.out" 2>"$work/names.err"
      t1=$(ms)
      plain=$(grep -o '扫描耗时: [0-9]* ms' "$work/quarvo.err" | grep -o '[0-9]*')
      named=$(grep -o '扫描耗时: [0-9]* ms' "$work/names.err" | grep -o '[0-9]*')
      row "LAN /24" "quarvo raw scan time (summary): plain / --json with names" "$plain / $named ms" \
        "names no slower" "$(awk -v p="$plain" -v n="$named" 'BEGIN { print (n <= p * 1.1 + 20) ? "met" : "MISSED" }')"
      row "LAN /24" "  --json: lines, wall until the last name" "$(wc -l <"$work/names.out"), $((t1 - t0)) ms" "" ""
      lan_end
      ;;
    constrained)
      lan "constrained /20" 10.78.0.1/20 10.78.0.1 10.78.15.254 800 macvlan || continue
      arpscan 10.78.0.1 10.78.15.254
      quarvo 10.78.0.1 10.78.15.254 --threads 1000
      compare "constrained /20" 1.2
      lan_end
      ;;
    fast20 | slow20)
      slow=0 goal=0.3 title="fast /20"
      [ "$name" = slow20 ] && slow=10 title="fast /20, 1 in 10 answers after 200-400 ms"
      lan "$title" 10.78.0.1/20 10.78.0.1 10.78.15.254 800 responder "$slow" || continue
      arpscan 10.78.0.1 10.78.15.254
      quarvo 10.78.0.1 10.78.15.254 --threads 1000
      compare "$title" "$goal"
      lan_end
      ;;
    fast16)
      lan "fast /16" 10.79.0.1/16 10.79.0.1 10.79.255.254 2000 responder || continue
      arpscan 10.79.0.1 10.79.255.254
      quarvo 10.79.0.1 10.79.255.254 --threads 1000
      compare "fast /16" 0.1
      lan_end
      ;;
    lossy24)
      lan "lossy /24" 10.77.0.1/24 10.77.0.1 10.77.0.254 200 macvlan || continue
      for ns_dev in "$LAN_HOSTS $LAN_TRUNK" "$LAN_SCANNER $LAN_IF"; do
        set -- $ns_dev
        ip netns exec "$1" nft -f - <<EOF
table netdev loss {
  chain in { type filter hook ingress device $2 priority 0; numgen random mod 100 < 20 drop; }
}
EOF
      done
      for run in 1 2 3; do
        arpscan 10.77.0.1 10.77.0.254
        quarvo 10.77.0.1 10.77.0.254
        found_q=$(right quarvo) invented_q=$(invented quarvo)
        ok=MISSED
        [ "$found_q" -ge 198 ] && [ "$invented_q" -eq 0 ] && ok=met
              row "LAN lossy /24, run $run" "found (arp-scan)" "$found_q/200, $invented_q invented ($(right arpscan)/200)" \
          ">= 198/200" "$ok"
        r=$(ratio "$qwall" "$scanwall")
        row "LAN lossy /24, run $run" "wall / arp-scan" "$r ($qwall / $scanwall ms)" "<= 1.5" "$(at_most "$r" 1.5)"
      done
      lan_end
      ;;
    rate27)
      lan "/27" 10.80.0.1/27 10.80.0.1 10.80.0.30 20 macvlan || continue
      ip netns exec "$LAN_HOSTS" python3 "$here/../tests/linux/arp_wire_count.py" "$LAN_TRUNK" >"$work/wire" 2>&1 &
      counter=$!
      for _ in $(seq 50); do grep -q ready "$work/wire" && break; sleep 0.1; done
      quarvo 10.80.0.1 10.80.0.30 --rate 15
      sleep 0.5
      kill -TERM "$counter"
      wait "$counter"
      read -r _ requests _ busiest < <(grep busiest "$work/wire")
      ok=MISSED
      [ "$(right quarvo)" -eq 20 ] && [ "$(invented quarvo)" -eq 0 ] && ok=met
      row "LAN /27 --rate 15" "found" "$(right quarvo)/20 in $qwall ms" "20/20" "$ok"
      row "LAN /27 --rate 15" "most requests in a one-second window" "$busiest (of $requests)" "<= 15" \
        "$(at_most "$busiest" 15)"
      lan_end
      ;;
    *) echo "unknown row $name" >&2 ;;
  esac
done
