#!/usr/bin/env bash
# make-screenshot.sh [build dir]: makes docs/screenshot.png, the real Quarvo window after loading a
# saved list and scanning with scripted ARP answers (tests/e2e/ScreenshotStage.cpp), on a virtual
# display under Wine.
# No ARP request leaves the machine: the answers come from the test library placed beside the program.
# A machine whose kernel cannot run 32-bit programs shows the 64-bit build of the same program. The
# build dir defaults to build/win32 or build/win64.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${QUARVO_SCREENSHOT_DISPLAY:-}" ]; then
  bash scripts/setup.sh
  command -v import >/dev/null || apt-get install -y -qq --no-install-recommends imagemagick >/dev/null
  if bash scripts/can-run-32bit.sh; then
    export QUARVO_BUILD=${1:-build/win32} QUARVO_WINE=/usr/lib/wine/wine
    toolchain=cmake/mingw-i686.cmake
  else
    export QUARVO_BUILD=${1:-build/win64} QUARVO_WINE=/usr/lib/wine/wine64
    toolchain=cmake/mingw-x86_64.cmake
  fi
  cmake -S . -B "$QUARVO_BUILD" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
  cmake --build "$QUARVO_BUILD" -j"$(nproc)" --target quarvo_screenshot_stage -- --no-print-directory \
    >/dev/null
  exec env QUARVO_SCREENSHOT_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0"
fi

source scripts/wine-env.sh
work=$(mktemp -d /tmp/quarvo-shot.XXXXXX)
stage_pid=
finish() {
  [ -n "$stage_pid" ] && kill "$stage_pid" 2>/dev/null
  wine_env_stop
  rm -rf "$work"
}
trap finish EXIT

stage=$QUARVO_BUILD/tests/e2e/quarvo_screenshot_stage.exe
"$QUARVO_WINE" "$stage" "$work" </dev/null >"$work/stage.log" 2>&1 &
stage_pid=$!
for _ in $(seq 600); do
  [ -s "$work/geometry.txt" ] && break
  kill -0 "$stage_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/geometry.txt" ]; then
  echo "the window was not staged:" >&2
  cat "$work/stage.log" >&2
  exit 1
fi
mkdir -p docs
import -window root -crop "$(tr -d '\r\n' <"$work/geometry.txt")" +repage docs/screenshot.png
touch "$work/shot-taken"
wait "$stage_pid"
stage_pid=
echo "docs/screenshot.png: $(tr -d '\r\n' <"$work/geometry.txt")"
