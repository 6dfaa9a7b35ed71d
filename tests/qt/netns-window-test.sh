#!/usr/bin/env bash
# netns-window-test.sh <quarvo>
# The built program's window on the virtual LAN of tests/linux/netns-lan.sh, under Xvfb inside the
# scanner namespace (nothing leaves it), driven as a user would with xdotool: the boxes come from
# the settings file, Alt+S starts a scan, the title bar ends with the summary, the list's menu saves
# Quarvo.txt (exactly the answering machines, code page 936, CR LF) and the settings, and the
# menu's last item ends the program. There is no window manager: the window gets the input focus
# from xdotool, and the menu is worked with the keyboard.
# QUARVO_SCREENSHOT=<file.png> keeps a picture of the window after the scan.
# Exits 77 without root rights, the fixture, xvfb-run, xdotool, ImageMagick's import or a window.
set -u

# Inside the namespace, on the virtual display: <quarvo> <work folder>. Writes what it saw to
# <work>/title and <work>/status; the outer part checks them.
if [ "${1:-}" = --drive ]; then
  quarvo=$2 work=$3
  ( cd "$work/run" && exec "$quarvo" >"$work/program.log" 2>&1 ) &
  pid=$!
  trap 'kill "$pid" 2>/dev/null' EXIT
  step() { echo "$*" >"$work/status"; }
  # until <tenths of a second> <command...>: polls the command until it succeeds.
  until_ok() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
      "$@" && return 0
      sleep 0.1
    done
    return 1
  }
  visible() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
  # menu <downs>: right-click on the list, then the menu's item that many Downs away, and Return.
  menu() {
    local before keys=()
    before=$(visible)  # the window; a popup menu is a new window each time
    # A right click right after a menu closed may be lost to the window: clicked again after 1 s.
    for _ in 1 2 3 4 5; do
      xdotool mousemove --window "$win" 200 250 click 3
      until_ok 10 test "$(visible)" -gt "$before" && break
    done
    [ "$(visible)" -gt "$before" ] || return 1
    for _ in $(seq "$1"); do keys+=(Down); done
    xdotool key --delay 30 "${keys[@]}" Return
    until_ok 50 test "$(visible)" -le "$before"  # the menu has gone (or the program has)
  }

  step "no window"
  win=$(timeout 10 xdotool search --sync --onlyvisible --name '^Quarvo' | head -1)
  [ -n "$win" ] || exit 1
  step "no focus"
  xdotool windowfocus --sync "$win" || exit 1
  step "no summary"
  xdotool key alt+s
  until_ok 150 eval 'xdotool getwindowname "$win" >"$work/title" && grep -q "^扫描耗时" "$work/title"' || exit 1
  import -window "$win" "$work/shot.png" || { step "no screenshot"; exit 1; }
  step "no saved list"
  menu 3 && until_ok 50 test -s "$work/run/Quarvo.txt" || exit 1
  step "no exit"
  menu 6 || exit 1
  # Ended: gone, or a zombie until waited for.
  until_ok 50 eval '! ps -o stat= -p "$pid" | grep -qv Z' || exit 1
  wait "$pid"
  step "exit $?"
  exit 0
fi

quarvo=$(readlink -f "$1")
here=$(cd "$(dirname "$0")" && pwd)
fixture=$here/../linux/netns-lan.sh

skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
[ -f "$fixture" ] || skip "no LAN fixture ($fixture)"
command -v xvfb-run >/dev/null || skip "no xvfb-run (xvfb)"
command -v xdotool >/dev/null || skip "no xdotool"
command -v import >/dev/null || skip "no import (imagemagick)"
ldd "$quarvo" 2>/dev/null | grep -q libQt6Widgets || skip "$quarvo has no window (built without Qt)"
# shellcheck source=../linux/netns-lan.sh
source "$fixture"
LAN_NO_TRAP=1  # this script's own trap removes the LAN

work=$(mktemp -d /tmp/quarvo-window-netns.XXXXXX)
cleanup() {
  # Whatever a driver that timed out left in the namespace goes with it.
  ip netns pids "$LAN_SCANNER" 2>/dev/null | xargs -r kill -9 2>/dev/null
  lan_down
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The boxes start with the LAN's range .10 to .20 from the settings file, with blanks that the scan
# trims away before the save writes the boxes back.
mkdir -p "$work/config/Quarvo" "$work/home" "$work/run" "$work/xdg"
chmod 700 "$work/xdg"
printf '[set]\r\nstartip= 10.67.0.10\r\nendip=10.67.0.20  \r\n' >"$work/config/Quarvo/Quarvo.ini"

# Eight machines; .10, .15 and .20 are silent.
net=10.67.0
lan_up "$net.1/24" || { echo "FAIL: lan_up"; exit 1; }
hosts="11 12 13 14 16 17 18 19"
for n in $hosts; do echo "$net.$n 02:ab:cd:ef:00:$n"; done | lan_hosts || { echo "FAIL: lan_hosts"; exit 1; }

start=$SECONDS
lan_exec_scanner env HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/xdg" \
  timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --drive "$quarvo" "$work" >"$work/driver.log" 2>&1
status=$(cat "$work/status" 2>/dev/null)
[ "$status" = "exit 0" ] ||
  fail "window: ${status:-driver did not start}; $(cat "$work/driver.log" "$work/program.log" 2>/dev/null)"
echo "title: $(cat "$work/title" 2>/dev/null) ($((SECONDS - start)) s)"
grep -Eq "^扫描耗时: [0-9]+ ms　IP: 8/8　New: 8  \[ARP: raw\]$" "$work/title" || fail "title: $(cat "$work/title")"

expected=$(for n in $hosts; do printf '%s\t%s\t%s\r\n' "$n" "$net.$n" "02-AB-CD-EF-00-$n"; done | od -c)
[ "$(od -c <"$work/run/Quarvo.txt")" = "$expected" ] ||
  fail "Quarvo.txt: $(od -c "$work/run/Quarvo.txt" 2>&1)"
[ "$(od -c <"$work/config/Quarvo/Quarvo.ini")" = "$(printf '[set]\r\nstartip=10.67.0.10\r\nendip=10.67.0.20\r\n' | od -c)" ] ||
  fail "settings: $(od -c "$work/config/Quarvo/Quarvo.ini")"
[ "$(ls "$work/run")" = Quarvo.txt ] || fail "files besides the list: $(ls "$work/run")"
# Nothing of the run is left: the program, Xvfb and the driver are gone from the namespace. xvfb-run
# signals its server as it ends without waiting for it, so the server gets a few seconds to exit.
for _ in $(seq 50); do
  left=$(ip netns pids "$LAN_SCANNER" 2>/dev/null)
  [ -z "$left" ] && break
  sleep 0.1
done
[ -z "$left" ] || fail "still running: $(ps -o pid=,args= -p "${left//$'\n'/,}")"

# Without a window manager the window has no title bar: the picture gets a plain one with the
# title, which is the status line.
if [ -n "${QUARVO_SCREENSHOT:-}" ] && [ -f "$work/shot.png" ]; then
  convert "$work/shot.png" -strip -background '#E8E8E8' -gravity north -splice 0x26 -gravity northwest \
    -font "$(fc-match -f '%{file}' 'sans:lang=zh-cn')" -pointsize 13 -fill black \
    -annotate +8+5 "$(cat "$work/title")" "$QUARVO_SCREENSHOT" && echo "screenshot: $QUARVO_SCREENSHOT" ||
    fail "screenshot $QUARVO_SCREENSHOT"
fi
[ "$failures" -eq 0 ] || exit 1
echo "PASS: the window on the virtual LAN"
