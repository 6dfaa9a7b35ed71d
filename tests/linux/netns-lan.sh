# netns-lan.sh: a virtual LAN inside this machine, for tests and benchmarks that send real ARP.
# Source it from bash; nothing it creates reaches a real network.
#
#   lan_require_root            exit 77 with a message unless root with network namespaces
#   lan_up CIDR [GATEWAY]       a scanner namespace $LAN_SCANNER with CIDR (e.g. 10.77.0.1/24) on
#                               its interface $LAN_IF, joined by a veth pair to a hosts namespace
#                               $LAN_HOSTS (far end $LAN_TRUNK); a default route via GATEWAY, an
#                               address nobody holds (default: the network's last host address), so
#                               broadcasts have a route. Removes everything on EXIT, INT, TERM and
#                               HUP (set LAN_NO_TRAP=1 to call lan_down from traps of your own).
#   lan_host IP MAC             one machine: a macvlan on the trunk with that MAC and address
#   lan_hosts                   many machines at once: "IP MAC" lines on standard input
#   lan_exec_scanner CMD...     run CMD in the scanner namespace
#   lan_exec_hosts CMD...       run CMD in the hosts namespace
#   lan_down                    remove both namespaces (the veth pair and macvlans go with them) and
#                               the scanner's resolver file /etc/netns/$LAN_SCANNER/resolv.conf
#   lan_test_init NAME          for a test script: $work (a new folder /tmp/quarvo-NAME.*, mode
#                               0755), fail and pass (fail counts $failures), and traps that end
#                               $lan_child (a background process of the test, when set), remove
#                               the LAN and $work; call it before lan_up
#
# Each machine knows the scanner's MAC from the start (a permanent neighbour entry): the kernel's
# neighbour table is shared by all namespaces, and a machine whose kernel cannot add an entry for
# the asker does not answer, which no real machine on its own would suffer from a full table of
# the scanner's. $LAN_ADDRESS and $LAN_SCANNER_MAC are the scanner's address and MAC.
#
# The names carry the shell's process id (or $LAN_TAG), so tests may run side by side. The hosts'
# namespace answers ARP only for each macvlan's own address (arp_ignore=1, arp_announce=2).

LAN_TAG=${LAN_TAG:-$$}
LAN_SCANNER=qvs$LAN_TAG
LAN_HOSTS=qvh$LAN_TAG
LAN_IF=lan0
LAN_TRUNK=trunk

lan_require_root() {
  if [ "$(id -u)" -ne 0 ]; then echo "skipped: the virtual LAN needs root"; exit 77; fi
  command -v ip >/dev/null || { echo "skipped: no ip command (iproute2)"; exit 77; }
  if ! ip netns add "qvprobe$LAN_TAG" 2>/dev/null; then echo "skipped: no network namespaces"; exit 77; fi
  ip netns del "qvprobe$LAN_TAG"
}

_lan_int() { local IFS=.; set -- $1; echo $(((($1 * 256 + $2) * 256 + $3) * 256 + $4)); }
_lan_ip() { echo "$(($1 >> 24 & 255)).$(($1 >> 16 & 255)).$(($1 >> 8 & 255)).$(($1 & 255))"; }

lan_down() {
  ip netns del "$LAN_SCANNER" 2>/dev/null
  ip netns del "$LAN_HOSTS" 2>/dev/null
  rm -rf "/etc/netns/$LAN_SCANNER"
  rmdir /etc/netns 2>/dev/null
  return 0
}

lan_up() {
  local cidr=$1 address=${1%/*} prefix=${1#*/} gateway=${2:-}
  LAN_ADDRESS=$address
  if [ -z "$gateway" ]; then
    local mask=$(((0xFFFFFFFF << (32 - prefix)) & 0xFFFFFFFF))
    gateway=$(_lan_ip $((($(_lan_int "$address") | (~mask & 0xFFFFFFFF)) - 1)))
  fi
  if [ -z "${LAN_NO_TRAP:-}" ]; then
    trap lan_down EXIT
    trap 'exit 1' INT TERM HUP
  fi
  ip netns add "$LAN_SCANNER" && ip netns add "$LAN_HOSTS" || return 1
  # Programs run with lan_exec_scanner look host names up (reverse DNS) with a resolver that
  # ip netns exec puts in place of the machine's: none, on the scanner's own loopback, so that no
  # query leaves the namespace. A test may write a resolver of its own into the same file.
  mkdir -p "/etc/netns/$LAN_SCANNER" && echo "nameserver 127.0.0.1" >"/etc/netns/$LAN_SCANNER/resolv.conf" || return 1
  ip -n "$LAN_SCANNER" link add "$LAN_IF" type veth peer name "$LAN_TRUNK" netns "$LAN_HOSTS" || return 1
  ip netns exec "$LAN_HOSTS" sysctl -qw net.ipv4.conf.all.arp_ignore=1 net.ipv4.conf.all.arp_announce=2 \
    net.ipv4.conf.default.arp_ignore=1 net.ipv4.conf.default.arp_announce=2 || return 1
  local ns
  for ns in "$LAN_SCANNER" "$LAN_HOSTS"; do
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip -n "$ns" link set lo up || return 1
  done
  ip -n "$LAN_SCANNER" addr add "$cidr" dev "$LAN_IF" && ip -n "$LAN_SCANNER" link set "$LAN_IF" up &&
    ip -n "$LAN_HOSTS" link set "$LAN_TRUNK" up &&
    ip -n "$LAN_SCANNER" route add default via "$gateway" dev "$LAN_IF" onlink || return 1
  LAN_SCANNER_MAC=$(ip -n "$LAN_SCANNER" -o link show "$LAN_IF" | sed -n 's|.*link/ether \([0-9a-f:]*\).*|\1|p')
  local _
  for _ in $(seq 50); do
    ip -n "$LAN_SCANNER" -o link show "$LAN_IF" | grep -q 'state UP' && return 0
    sleep 0.1
  done
  echo "lan_up: $LAN_IF did not come up" >&2
  return 1
}

# Reads "IP MAC" lines; one batch of ip commands for all of them (about 20 ms a machine).
lan_hosts() {
  local ip mac name
  while read -r ip mac; do
    [ -n "$ip" ] || continue
    name=m${mac//:/}  # unique per MAC, and within the 15 characters of an interface name
    echo "link add $name link $LAN_TRUNK address $mac type macvlan mode bridge"
    echo "addr add $ip/32 dev $name"
    echo "link set $name up"
    echo "neigh replace $LAN_ADDRESS lladdr $LAN_SCANNER_MAC dev $name nud permanent"
  done | ip -n "$LAN_HOSTS" -batch -
}

lan_host() { echo "$1 $2" | lan_hosts; }

lan_exec_scanner() { ip netns exec "$LAN_SCANNER" "$@"; }
lan_exec_hosts() { ip netns exec "$LAN_HOSTS" "$@"; }

lan_test_init() {
  work=$(mktemp -d "/tmp/quarvo-$1.XXXXXX")
  chmod 755 "$work"
  lan_child=""
  failures=0
  LAN_NO_TRAP=1
  trap _lan_test_cleanup EXIT
  trap 'exit 1' INT TERM HUP
}
_lan_test_cleanup() {
  [ -n "$lan_child" ] && kill "$lan_child" 2>/dev/null && wait "$lan_child" 2>/dev/null
  lan_down
  rm -rf "$work"
}
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
