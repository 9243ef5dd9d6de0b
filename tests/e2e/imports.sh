#!/usr/bin/env bash
# DLL planting: a portable exe started from a downloads folder must not load
# a DLL planted beside it. Windows always takes the KnownDLLs from the system
# directory, so the import table may name those and nothing else; winmm and
# the like are loaded at run time by full path. Usage: imports.sh LUMEK.exe [build dir]
set -u
exe=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
# The KnownDLLs of every Windows Lumek runs on (Windows 7 and later).
known_dlls="advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt
normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32"

if ! dump=$("$objdump" -p "$exe"); then
  echo "FAIL: $objdump could not read $exe"
  exit 1
fi
names=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr -d '\r')
if [ -z "$names" ]; then
  echo "FAIL: no import table entries found in $exe"
  exit 1
fi
failures=0
while IFS= read -r name; do
  stem=$(printf '%s' "$name" | tr 'A-Z' 'a-z')
  stem=${stem%.dll}
  if printf '%s\n' $known_dlls | grep -qx -- "$stem"; then
    echo "ok: imports $name (a KnownDLL)"
  else
    echo "FAIL: imports $name, which Windows may load from the exe's folder"
    failures=$((failures + 1))
  fi
done <<< "$names"
[ "$failures" -eq 0 ] || exit 1
echo "all imports are KnownDLLs"
