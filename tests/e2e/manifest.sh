#!/usr/bin/env bash
# The manifest built into the exe names the processor the exe is built for:
# Windows refuses to start an exe whose manifest names another one (a
# side-by-side configuration error). Usage: manifest.sh LUMEK.exe [build dir]
set -u
exe=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
case "$("$objdump" -f "$exe" 2>/dev/null)" in
  *pei-i386*) expected=x86 ;;
  *pei-x86-64*) expected=amd64 ;;
  *) echo "FAIL: $objdump cannot tell the processor of $exe"; exit 1 ;;
esac
# The manifest is stored as UTF-8 text in the exe's resources.
named=$(grep -ao 'processorArchitecture="[^"]*"' "$exe" | sort -u)
if [ "$named" = "processorArchitecture=\"$expected\"" ]; then
  echo "ok: the manifest names $expected, the exe's processor"
else
  echo "FAIL: the exe is built for $expected, its manifest says: ${named:-nothing}"
  exit 1
fi
