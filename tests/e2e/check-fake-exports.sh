#!/usr/bin/env bash
# check-fake-exports.sh <objdump> <exe> <dll>: every function that the exe imports from IPHLPAPI.DLL
# is exported by the scripted dll.
set -euo pipefail
# Import rows under "DLL Name: IPHLPAPI.DLL": vma, hint, name.
imports=$("$1" -p "$2" |
  awk '/DLL Name:/ {dll = tolower($3)} dll == "iphlpapi.dll" && NF == 3 && $2 ~ /^[0-9]+$/ {print $3}')
# Export rows of the name table: [ordinal] name.
exports=$("$1" -p "$3" |
  awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {on = 0} on {print $NF}')
missing=$(comm -23 <(sort -u <<<"$imports") <(sort -u <<<"$exports"))
if [ -n "$missing" ]; then
  echo "the program imports from iphlpapi what the scripted dll lacks: $missing"
  exit 1
fi
echo "ok: $(tr '\n' ' ' <<<"$imports")"
