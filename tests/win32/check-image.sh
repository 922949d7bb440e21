#!/bin/sh
# The Windows program is a console PE image of the expected machine that
# needs no DLL beyond the system's own.
#   check-image.sh OBJDUMP PROGRAM FORMAT
set -eu
headers=$("$1" -p "$2")
echo "$headers" | grep -q "file format $3" || { echo "not $3"; exit 1; }
echo "$headers" | grep -q "Subsystem.*(Windows CUI)" || { echo "not a console program"; exit 1; }
dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u | tr '\n' ' ')
echo "imports: $dlls"
for dll in $dlls; do
  case "$dll" in
    KERNEL32.dll|msvcrt.dll) ;;
    *) echo "unexpected DLL $dll"; exit 1 ;;
  esac
done
