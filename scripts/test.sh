#!/usr/bin/env bash
# Builds everything and runs every test: the Linux program and the portable core natively (plain, with Address- and
# UndefinedBehaviorSanitizer, with ThreadSanitizer), then the 32-bit Windows build under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1

jobs=$(nproc)
log=$(mktemp)
status=0

build() {  # build <dir> <cmake args...>
  local dir=$1
  shift
  mkdir -p build
  if ! cmake -S . -B "build/$dir" "$@" >"build/$dir.configure.log" 2>&1; then
    cat "build/$dir.configure.log"
    return 1
  fi
  cmake --build "build/$dir" -j"$jobs" -- --no-print-directory >/dev/null
}

native() {  # native <dir> <cmake args...>
  local dir=$1
  shift
  echo "== $dir"
  if ! build "$dir" "$@"; then
    echo "build of $dir failed" | tee -a "$log"
    cmake --build "build/$dir" -- --no-print-directory 2>&1 | grep -E "error" | head -20
    status=1
    return
  fi
  (cd "build/$dir" && ctest --output-on-failure -j"$jobs" --timeout 300) 2>&1 | tee -a "$log" | grep -E "tests passed|\*\*\*"
  # The runner's own status: with pipefail, a "|| true" here would have put true's in its place.
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
}

native linux
native asan -DQUARVO_SANITIZE=address
TSAN_OPTIONS="halt_on_error=1" native tsan -DQUARVO_SANITIZE=thread
native fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUARVO_FUZZ=ON

cross() {  # cross <dir> <toolchain> <wine loader or "">
  local dir=$1 toolchain=$2 loader=$3
  echo "== $dir"
  if ! build "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake"; then
    echo "build of $dir failed" | tee -a "$log"
    cmake --build "build/$dir" -- --no-print-directory 2>&1 | grep -E "error" | head -20
    status=1
    return
  fi
  if [ -z "$loader" ]; then
    echo "this machine's kernel does not run 32-bit programs: only the checks of the built files run here"
    (cd "build/$dir" && ctest -L host --output-on-failure) 2>&1 | tee -a "$log" | grep -E "tests passed|\*\*\*"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    return
  fi
  xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/wine-ctest.sh "build/$dir" "$loader" 2>&1 |
    tee -a "$log" | grep -E "tests passed|\*\*\*"
  # The runner's own status: with pipefail, a "|| true" here would have put true's in its place.
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
}

# The shipping program is 32-bit. Where the kernel cannot run 32-bit code, the same sources are
# also built for 64-bit Windows and their Windows tests run there.
if bash scripts/can-run-32bit.sh; then
  cross win32 mingw-i686 /usr/lib/wine/wine
else
  cross win32 mingw-i686 ""
fi
cross win64 mingw-x86_64 /usr/lib/wine/wine64

# One closing line over all the runs.
passed=0
failed=0
while read -r line; do
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done < <(grep -E "tests? failed out of" "$log")
rm -f "$log"
[ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
[ "$failed" -eq 0 ] || status=1
echo "$passed passed, $failed failed"
exit "$status"
