#!/usr/bin/env bash
# check-binary.sh <objdump> <exe> [large-address-aware]: the program needs no DLL beyond Windows' own
# (the C++ runtime is linked in), and a 32-bit program is large-address-aware, so that 1000 worker
# threads find room in its address space.
set -euo pipefail
headers=$("$1" -p "$2")
dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|shell32|ole32|oleaut32|ws2_32|wsock32|iphlpapi|msvcrt|ntdll|api-ms-win-.*)\.dll$'
status=0
for dll in $(grep -viE "$allowed" <<<"$dlls" || true); do
  echo "imports a DLL that Windows does not ship: $dll"
  status=1
done
if [ "${3:-}" = large-address-aware ] && ! grep -qi "large address aware" <<<"$headers"; then
  echo "not large-address-aware"
  status=1
fi
[ $status -eq 0 ] && echo "ok: $(tr '\n' ' ' <<<"$dlls")"
exit $status
