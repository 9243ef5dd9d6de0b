#!/usr/bin/env bash
# ctest's emulator: runs one Windows exe under the bench's Wine and display.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
if [ -z "${CTEST_RESOURCE_GROUP_0_DESKTOP:-}" ] && [ -n "${LUMEK_UNIT_DISPLAY:-}" ]; then
  export DISPLAY=$LUMEK_UNIT_DISPLAY WINEPREFIX=$LUMEK_UNIT_WINEPREFIX
fi
lumek_ensure_display || { lumek_stop_display; exit 1; }
if [ -z "${LUMEK_WINESERVER_READY:-}" ]; then lumek_ensure_wine; fi
exe=$1; shift
wine "$exe" "$@"
rc=$?
lumek_stop_display
exit $rc
