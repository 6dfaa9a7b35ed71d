#!/usr/bin/env bash
# bash scripts/run.sh            builds build/linux/quarvo and opens its window
# bash scripts/run.sh --windows  builds build/win32/Quarvo.exe and starts it under Wine; a machine whose
#                                kernel cannot run 32-bit programs starts the 64-bit build instead
# Either runs on $DISPLAY, or on a virtual display (Xvfb) when there is none, where a screenshot goes
# to build/quarvo-screen.png after a few seconds. The results file Quarvo.txt lands in build/run.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  "") windows= ;;
  --windows) windows=1 ;;
  *) echo "usage: bash scripts/run.sh [--windows]" >&2; exit 2 ;;
esac
bash scripts/setup.sh
jobs=$(nproc)
if [ -n "$windows" ]; then
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
else
  cmake -S . -B build/linux >/dev/null
  cmake --build build/linux -j"$jobs" --target quarvo -- --no-print-directory >/dev/null
  exe=$PWD/build/linux/quarvo
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${QUARVO_HEADLESS:-}" ]; then
  echo "No display: running on a virtual one; screenshot in build/quarvo-screen.png. Ctrl+C ends it." >&2
  exec env QUARVO_HEADLESS=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
mkdir -p build/run
if [ -n "$windows" ]; then
  source scripts/wine-env.sh
  trap wine_env_stop EXIT
  cd build/run
  "$QUARVO_WINE" "$exe" </dev/null >/dev/null 2>&1 &
  settle=8
else
  cd build/run
  "$exe" </dev/null &
  settle=3
fi
if [ -n "${QUARVO_HEADLESS:-}" ] && command -v import >/dev/null; then
  sleep "$settle"
  import -window root ../quarvo-screen.png 2>/dev/null || true
fi
wait
