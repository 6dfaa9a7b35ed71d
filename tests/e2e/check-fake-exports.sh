#!/usr/bin/env bash
# check-fake-exports.sh <objdump> <exe> <dll>: every function that the exe imports from IPHLPAPI.DLL
# is exported by the scripted dll.
set -euo pipefail
# Import rows under "DLL Name: IPHLPAPI.DLL" (vma, hint, name); export rows of the name table.
imports=$("$1" -p "$2" |
  awk '/DLL Name:/ {dll = tolower($3)} dll == "iphlpapi.dll" && NF == 3 && $2 ~ /^[0-9]+$/ {print $3}')
exports=$("$1" -p "$3" |
  awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {on = 0} on {print $NF}')
missing=$(comm -23 <(sort -u <<<"$imports") <(sort -u <<<"$exports"))
[ -z "$missing" ] || { echo "the scripted iphlpapi.dll lacks imports of the program: $missing"; exit 1; }
echo "ok: $(tr '\n' ' ' <<<"$imports")"
