#!/usr/bin/env bash
# Builds build/win32/Quarvo.exe and starts it under Wine, on $DISPLAY, or on a virtual display
# (Xvfb) when there is none, where a screenshot goes to build/quarvo-screen.png after a few seconds.
# A machine whose kernel cannot run 32-bit programs starts the 64-bit build of the same program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j"$jobs" --target Quarvo -- --no-print-directory >/dev/null
exe=$PWD/build/win32/Quarvo.exe
export QUARVO_WINE=/usr/lib/wine/wine
if ! bash scripts/can-run-32bit.sh; then
  echo "This machine's kernel cannot run 32-bit programs: starting the 64-bit build of Quarvo instead." >&2
  cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
  cmake --build build/win64 -j"$jobs" --target Quarvo -- --no-print-directory >/dev/null
  exe=$PWD/build/win64/Quarvo.exe
  QUARVO_WINE=/usr/lib/wine/wine64
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${QUARVO_HEADLESS:-}" ]; then
  echo "No display: running on a virtual one; screenshot in build/quarvo-screen.png. Ctrl+C ends it." >&2
  exec env QUARVO_HEADLESS=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0"
fi
source scripts/wine-env.sh
trap wine_env_stop EXIT
mkdir -p build/run && cd build/run  # the results file lands in the current directory
"$QUARVO_WINE" "$exe" </dev/null >/dev/null 2>&1 &
if [ -n "${QUARVO_HEADLESS:-}" ] && command -v import >/dev/null; then
  sleep 8
  import -window root ../quarvo-screen.png 2>/dev/null || true
fi
wait
