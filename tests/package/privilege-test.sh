#!/usr/bin/env bash
# privilege-test.sh <build> <probe plugins> <cmake>
# The installed program's privilege, tried as a local attacker would: the build is installed into a
# temporary tree, the package's postinst grants its capabilities there, and then, as nobody, on a
# virtual LAN (tests/linux/netns-lan.sh):
#  - the window starts on Qt's offscreen platform once for each Qt variable that names a plugin
#    (QT_PLUGIN_PATH with QT_QPA_GENERIC_PLUGINS, QT_QPA_PLATFORMTHEME, QT_STYLE_OVERRIDE or
#    QT_IM_MODULE; QT_QPA_PLATFORM_PLUGIN_PATH with QT_QPA_PLATFORM): the probe plugin may load, but
#    the process it loads into must hold no capability;
#  - the command line scans with the same variables set: it and its ARP helper hold no capability
#    while the scan runs, and the scan finds the LAN's machines through the helper.
# Exits 77 without root rights, namespaces, file capabilities or a window in the build.
set -u
build=$1 probes=$2 cmake=$3
here=$(cd "$(dirname "$0")" && pwd)
fixture=$here/../linux/netns-lan.sh
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "setcap, setpriv and network namespaces need root"
command -v setpriv >/dev/null && command -v setcap >/dev/null || skip "no setpriv or setcap"
ldd "$build/quarvo" 2>/dev/null | grep -q libQt6Widgets || skip "this build has no window"
# shellcheck source=../linux/netns-lan.sh
source "$fixture"
lan_require_root
lan_test_init privilege
holds_none() {  # holds_none STATUS-FILE: no permitted, effective or ambient capability
  grep -qx $'CapPrm:\t0000000000000000' "$1" && grep -qx $'CapEff:\t0000000000000000' "$1" &&
    grep -qx $'CapAmb:\t0000000000000000' "$1"
}
caps() { grep -E '^Cap(Prm|Eff)' "$1" | tr '\n\t' '  '; }

# The install tree, with what the package's postinst grants: its setcap lines run on this tree.
"$cmake" --install "$build" --prefix "$work/usr" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
touch "$work/probe-caps" && setcap cap_net_raw+ep "$work/probe-caps" 2>/dev/null || skip "no file capabilities here"
mkdir "$work/fake"
printf '#!/bin/sh\nexec /usr/sbin/setcap "$1" "%s/usr${2#/usr}"\n' "$work" >"$work/fake/setcap"
chmod +x "$work/fake/setcap"
PATH=$work/fake:$PATH sh "$build/deb/postinst" configure || fail "postinst"
capable=$(getcap -r "$work/usr" 2>/dev/null | sed "s|^$work||")
echo "capabilities after postinst: ${capable:-none}"
cp -R "$probes" "$work/probes"
mkdir -p "$work/home" "$work/records"
chmod 0777 "$work/home" "$work/records"
chmod -R a+rX "$work/usr" "$work/probes"
quarvo=$work/usr/bin/quarvo
as_nobody() {  # as_nobody VAR=VALUE... -- COMMAND...: in the scanner namespace, only these variables
  lan_exec_scanner setpriv --reuid=65534 --regid=65534 --clear-groups /usr/bin/env -i HOME="$work/home" \
    QUARVO_PROBE_DIR="$work/records" "$@"
}

lan_up 10.68.0.1/24 || { echo "FAIL: lan_up"; exit 1; }
printf '10.68.0.%s 02:00:00:00:68:%s\n' 11 11 12 12 13 13 | lan_hosts || { echo "FAIL: lan_hosts"; exit 1; }

# The window, once per variable, all at once; each stays up for 6 s.
P=$work/probes
declare -A variables=(
  [generic]="QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH=$P QT_QPA_GENERIC_PLUGINS=quarvoprobe"
  [platforms]="QT_QPA_PLATFORM_PLUGIN_PATH=$P/platforms QT_QPA_PLATFORM=quarvoprobe"
  [platformthemes]="QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH=$P QT_QPA_PLATFORMTHEME=quarvoprobe"
  [styles]="QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH=$P QT_STYLE_OVERRIDE=quarvoprobe"
  [platforminputcontexts]="QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH=$P QT_IM_MODULE=quarvoprobe"
)
for kind in "${!variables[@]}"; do
  # shellcheck disable=SC2086
  as_nobody ${variables[$kind]} /usr/bin/timeout 6 "$quarvo" >"$work/window-$kind.log" 2>&1 &
done
wait
loaded=0
for kind in "${!variables[@]}"; do
  for record in "$work/records/$kind".*; do
    [ -f "$record" ] || { echo "note: $kind: the plugin did not load"; continue; }
    loaded=$((loaded + 1))
    holds_none "$record" && pass "window, $kind plugin: $(caps "$record")" ||
      fail "the window handed a capability to the $kind plugin: $(caps "$record")"
  done
done
[ "$loaded" -eq "${#variables[@]}" ] || fail "only $loaded of the ${#variables[@]} probe plugins loaded: the test saw too little"
rm -f "$work/records"/*

# The command line with every variable at once, on a scan long enough to be looked at (21
# addresses at 5 requests a second).
all="QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH=$P QT_QPA_GENERIC_PLUGINS=quarvoprobe QT_QPA_PLATFORMTHEME=quarvoprobe"
all+=" QT_STYLE_OVERRIDE=quarvoprobe QT_IM_MODULE=quarvoprobe QT_QPA_PLATFORM_PLUGIN_PATH=$P/platforms"
# shellcheck disable=SC2086
as_nobody $all "$quarvo" scan 10.68.0.10 10.68.0.30 --tsv --timeout 3000 --rate 5 >"$work/scan.out" 2>"$work/scan.err" &
scanning=$!
program="" helper=""
for _ in $(seq 100); do  # the background shell, the program in it, the helper it started
  program=$(ps -o pid= --ppid "$scanning" | tr -d ' ' | head -1)
  [ -n "$program" ] && helper=$(ps -o pid= --ppid "$program" | tr -d ' ' | head -1)
  [ -n "$helper" ] && break
  sleep 0.05
done
sleep 0.5
if [ -z "$helper" ]; then
  fail "the command line started no helper: $(cat "$work/scan.err")"
else
  cp "/proc/$program/status" "$work/program.status" && cp "/proc/$helper/status" "$work/helper.status"
  [ "$(tr -d '\0' <"/proc/$helper/cmdline")" = "$work/usr/lib/quarvo/quarvo-arpquarvo-arp-1" ] ||
    fail "the helper is not the installed one: $(tr '\0' ' ' <"/proc/$helper/cmdline")"
  holds_none "$work/program.status" && pass "command line during a scan: $(caps "$work/program.status")" ||
    fail "the command line holds a capability: $(caps "$work/program.status")"
  holds_none "$work/helper.status" && pass "helper during a scan: $(caps "$work/helper.status")" ||
    fail "the helper holds a capability during the scan: $(caps "$work/helper.status")"
  [ "$(tr -d '\0' <"/proc/$helper/environ" 2>/dev/null)" = "" ] || fail "the helper has an environment"
fi
wait "$scanning"
for record in "$work/records"/*; do
  [ -f "$record" ] && ! holds_none "$record" && fail "the command line handed a capability to a plugin: $record"
done
expected=$(printf '%s\t%s\t%s\t%s\tNew\t√\n' 11 10.68.0.11 02-00-00-00-68-11 2 12 10.68.0.12 02-00-00-00-68-12 3 \
  13 10.68.0.13 02-00-00-00-68-13 4)
grep -qx 'quarvo: raw (helper) ARP engine' "$work/scan.err" && [ "$(cat "$work/scan.out")" = "$expected" ] &&
  pass "the scan through the helper found the LAN's machines" ||
  fail "scan: $(cat "$work/scan.out" "$work/scan.err")"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "PASS: no capability in the window or the command line"
