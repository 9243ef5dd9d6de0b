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
if [ $private -eq 0 ]; then
  lumek_ensure_display
  lumek_ensure_wine
  cd "$run_build/dist/Lumek"
  echo "Lumek runs on $DISPLAY; quit it from its notification-area icon."
  exec wine LUMEK.exe
fi
# The private display, its window manager and the prefix's Wine server (with
# Lumek) end with this script, also after a failure or an interrupt.
run_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  lumek_stop_display
}
trap run_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
lumek_ensure_display
lumek_ensure_wine
cd "$run_build/dist/Lumek"
wine LUMEK.exe >/dev/null 2>&1 &
# Started means its vertical line is on the screen.
for _ in $(seq 1 300); do
  xwininfo -name XForm1 2>/dev/null | grep -q IsViewable && break
  sleep 0.1
done
xdotool mousemove 400 300 || true
sleep 1
shot="$root/$run_build/lumek-screenshot.png"
import -window root "$shot"
echo "Lumek ran on a private display; screenshot saved to $shot"
