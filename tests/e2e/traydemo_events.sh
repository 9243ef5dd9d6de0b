#!/usr/bin/env bash
# Real clicks on a tray icon reach the tray icon component as the shell's
# notifications and raise its events in the promised order: a click, a
# double-click (press, release, double-click, release), a right and a middle click.
#
# traydemo.exe (tests/tools/traydemo.cpp) holds one tray icon and logs its
# events; it ends by itself once QUIET_SECONDS pass without an event and logs "end".
# Wine's tray turns a fast second press into WM_LBUTTONDBLCLK as the Windows
# shell does, so the sequence is the Windows one; no Wine difference showed.
source "$(dirname "$0")/lib.sh" "$@"
QUIET_SECONDS=8
LOG="$E2E_DIR/events.log"
cp "$E2E_BUILD/tests/traydemo.exe" "$E2E_BUILD/generated/icons/tray.ico" "$E2E_DIR/"

(cd "$E2E_DIR" && exec wine traydemo.exe events.log tray.ico $QUIET_SECONDS >/dev/null 2>&1) &
DEMO_PID=$!
e2e_own_process "$DEMO_PID"
# Wine: a program started while the previous desktop process winds down may
# wait many seconds for its desktop; hence the generous wait.
e2e_eventually 60 grep -qs '^ready' "$LOG" || { e2e_fail "traydemo did not start"; e2e_finish; }
e2e_eventually 30 e2e_tray_icon_drawn 0 || { e2e_fail "no tray icon"; e2e_finish; }
e2e_tray_icon 0
xdotool mousemove "$E2E_ICON_X" "$E2E_ICON_Y"
sleep 0.5

# Each gesture waits for its last event, and pauses twice the double-click
# time (500 ms) so that gestures never merge.
gesture() {
  local label=$1 last=$2 before
  shift 2
  before=$(wc -l < "$LOG")
  xdotool "$@"
  if e2e_eventually 10 bash -c "tail -n +$((before + 1)) '$LOG' | grep -q '^$last\$'"; then
    e2e_pass "$label: events arrived"
  else
    e2e_fail "$label: no '$last' in the log"
  fi
  sleep 1
}
gesture "click" "OnMouseUp left" click 1
gesture "double-click" "OnMouseDown left double" click --repeat 2 --delay 80 1
gesture "right click" "OnMouseUp right" click 3
gesture "middle click" "OnMouseUp middle" click 2

expected="ready
OnMouseDown left
OnClick
OnMouseUp left
OnMouseDown left
OnClick
OnMouseUp left
OnDblClick
OnMouseDown left double
OnClick
OnMouseUp left
OnMouseDown right
OnClick
OnMouseUp right
OnMouseDown middle
OnClick
OnMouseUp middle"
actual=$(cat "$LOG")
if [ "$actual" = "$expected" ]; then
  e2e_pass "the events came in the promised order"
else
  e2e_fail "events differ:"
  diff <(echo "$expected") <(echo "$actual") | sed 's/^/    /'
fi

e2e_eventually $((QUIET_SECONDS + 30)) grep -q '^end' "$LOG" && e2e_pass "traydemo ended by itself" || e2e_fail "traydemo did not end"
e2e_wait_helper "$DEMO_PID" || e2e_fail "traydemo exit code $?"
e2e_finish
