#!/usr/bin/env bash
# Sets up the machine, builds Lumek and starts it under Wine. Without a usable
# display it runs on a private Xvfb, takes a screenshot and says where it is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
source scripts/bits.sh
cmake -S . -B build >/dev/null
cmake --build build -j2 --target LUMEK
run_build=$(lumek_configure_runnable_build "$root")
cmake --build "$run_build" -j2 --target LUMEK
export LUMEK_BUILD_DIR="$root/$run_build"
source scripts/wine-env.sh
private=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  unset DISPLAY
  private=1
fi
lumek_ensure_display
lumek_ensure_wine
cd "$run_build/dist/Lumek"
if [ $private -eq 0 ]; then
  echo "Lumek runs on $DISPLAY; quit it from its notification-area icon."
  exec wine LUMEK.exe
fi
wine LUMEK.exe &
lumek_pid=$!
sleep 8
xdotool mousemove 400 300 || true
sleep 1
shot="$root/$run_build/lumek-screenshot.png"
import -window root "$shot"
echo "Lumek ran on a private display; screenshot saved to $shot"
kill $lumek_pid 2>/dev/null || true
wineserver -k >/dev/null 2>&1 || true
lumek_stop_display
