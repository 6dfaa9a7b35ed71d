#!/usr/bin/env bash
# Builds the benchmarks and prints their figures: natively, then under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/native >/dev/null && cmake --build build/native -j"$(nproc)" --target scan_bench >/dev/null
echo "== native"
build/native/bench/scan_bench
if bash scripts/can-run-32bit.sh; then dir=win32 toolchain=mingw-i686 loader=/usr/lib/wine/wine
else dir=win64 toolchain=mingw-x86_64 loader=/usr/lib/wine/wine64; fi
cmake -S . -B "build/$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake" >/dev/null 2>&1
cmake --build "build/$dir" -j"$(nproc)" --target scan_bench >/dev/null
echo "== Wine ($dir)"
export QUARVO_WINE=$loader
source scripts/wine-env.sh
trap wine_env_stop EXIT
out=$(mktemp)
"$QUARVO_WINE" "build/$dir/bench/scan_bench.exe" >"$out" 2>&1 </dev/null
cat "$out"
