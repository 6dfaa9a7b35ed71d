#!/usr/bin/env bash
# check-fake-exports.sh <objdump> <exe> <dll> [<name>]: every function that the exe imports from the
# library of that name (iphlpapi.dll unless given) is exported by the fake dll.
set -euo pipefail
name=${4:-iphlpapi.dll}
# Import rows under "DLL Name: IPHLPAPI.DLL" (vma, hint, name); export rows of the name table.
imports=$("$1" -p "$2" |
  awk -v name="$name" '/DLL Name:/ {dll = tolower($3)} dll == name && NF == 3 && $2 ~ /^[0-9]+$/ {print $3}')
exports=$("$1" -p "$3" |
  awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {on = 0} on {print $NF}')
missing=$(comm -23 <(sort -u <<<"$imports") <(sort -u <<<"$exports"))
[ -z "$missing" ] || { echo "the fake $name lacks imports of the program: $missing"; exit 1; }
echo "ok: $(tr '\n' ' ' <<<"$imports")"
