#!/usr/bin/env bash
# Builds the benchmarks, runs them natively and under Wine, and prints their figures as one table.
#   bash scripts/bench.sh                 everything (the LAN part takes about ten minutes: arp-scan
#                                         alone needs four and a half on the /16)
#   bash scripts/bench.sh --lan [ROW...]  only the Linux program against arp-scan on virtual LANs
#                                         (rows as bench/arp-lan-bench.sh names them)
set -euo pipefail
cd "$(dirname "$0")/.."
lan_only=""
if [ "${1:-}" = --lan ]; then
  lan_only=1
  shift
fi
bash scripts/setup.sh
figures=$(mktemp)
trap 'rm -f "$figures"' EXIT
table() {
  {
    printf 'where\tfigure\tvalue\tgoal\tverdict\n'
    cat "$figures"
  } | column -t -s $'\t'
}

cmake -S . -B build/linux >/dev/null
if [ -z "$lan_only" ]; then
  cmake --build build/linux -j"$(nproc)" --target scan_bench >/dev/null
  build/linux/bench/scan_bench native >>"$figures"
  # A list of a million rows loaded as the menu loads it: time and peak memory.
  cmake --build build/linux -j"$(nproc)" --target list_load_bench >/dev/null
  build/linux/bench/list_load_bench >>"$figures"
fi
# The Linux program's real ARP against arp-scan on virtual LANs in namespaces of their own.
for tool in arp-scan:arp-scan time:/usr/bin/time nftables:nft; do
  command -v "${tool#*:}" >/dev/null || apt-get install -y -qq --no-install-recommends "${tool%%:*}" >/dev/null
done
cmake --build build/linux -j"$(nproc)" --target quarvo >/dev/null
bash bench/arp-lan-bench.sh build/linux/quarvo "$@" >>"$figures"
if [ -n "$lan_only" ]; then
  table
  exit 0
fi
# The Linux window on a virtual display, when this build has one (Qt 6 found).
if cmake --build build/linux -j"$(nproc)" --target qt_window_bench >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1024x768x24" build/linux/bench/qt_window_bench 2>/dev/null | grep -P '\t' >>"$figures" || true
fi

# The shipping program's size is that of the 32-bit build; the benchmarks under Wine run from the
# 32-bit build where this machine's kernel runs 32-bit code, else from the 64-bit one.
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j"$(nproc)" --target Quarvo >/dev/null
size=$(stat -c %s build/win32/Quarvo.exe)
verdict=$([ "$size" -le $((400 * 1024)) ] && echo met || echo MISSED)
printf 'build\tQuarvo.exe, 32-bit, stripped\t%d KB\t<= 400 KB\t%s\n' $(((size + 1023) / 1024)) "$verdict" >>"$figures"

if bash scripts/can-run-32bit.sh; then dir=win32 loader=/usr/lib/wine/wine
else
  dir=win64 loader=/usr/lib/wine/wine64
  cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
fi
cmake --build "build/$dir" -j"$(nproc)" --target scan_bench window_bench Quarvo >/dev/null
export QUARVO_WINE=$loader
out=$(mktemp)
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  source scripts/wine-env.sh
  "$QUARVO_WINE" "build/'"$dir"'/bench/scan_bench.exe" "Wine ('"$dir"'), no window" >"$1" 2>&1 </dev/null
  "$QUARVO_WINE" "build/'"$dir"'/bench/window_bench.exe" "Z:${PWD//\//\\}\\build\\'"$dir"'\\Quarvo.exe" >>"$1" 2>&1 </dev/null
  wine_env_stop' _ "$out"
grep -P '\t' "$out" | tr -d '\r' >>"$figures" || true
rm -f "$out"

table
