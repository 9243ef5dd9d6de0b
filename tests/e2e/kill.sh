#!/usr/bin/env bash
# A Lumek that is killed (no exit command, no session end) never touches its
# settings file: after kill -9 at a few moments it is byte for byte as written.
source "$(dirname "$0")/lib.sh" "$@"

# Written by hand, not the way Lumek writes it: a comment, other spacing, a
# second section, no line end at the end. Any write would change it.
printf '; written by the test\r\n[SET]\r\nXVISIBLE=1\r\nYVISIBLE=1\r\nWARP=0\r\nXYCOLOR=65280\r\nXYBOLD=2\r\nSOUND=0\r\nSPEED=60\r\n\r\n[OTHER]\r\nKEY=value' > "$E2E_DIR/LUMEK.ini"
cp "$E2E_DIR/LUMEK.ini" "$E2E_DIR/expected.ini"

kill_lumek() {
  local label=$1 pid
  pid=$(e2e_lumek_pid) || { e2e_fail "$label: no LUMEK.exe process runs in $E2E_DIR"; return 1; }
  kill -9 "$pid"
  e2e_eventually 20 bash -c "! kill -0 $pid 2>/dev/null" || e2e_fail "$label: process $pid survived kill -9"
  [ -n "$E2E_PID" ] && { wait "$E2E_PID" 2>/dev/null || true; E2E_PID=""; }
  if cmp -s "$E2E_DIR/expected.ini" "$E2E_DIR/LUMEK.ini"; then
    e2e_pass "$label: LUMEK.ini unchanged"
  else
    e2e_fail "$label: LUMEK.ini changed: $(od -c "$E2E_DIR/LUMEK.ini" | head -6 | tr '\n' ' ')"
  fi
  # Wine: the icon of a killed process stays in the tray until explorer
  # notices its window is gone; the next start must find its icon in slot 0.
  e2e_eventually 30 bash -c "! xwininfo -root -tree | grep -q '\"lumek.exe\"'" || e2e_fail "$label: Lumek's windows outlived the process"
}

random_pause() { sleep "$((RANDOM % 2)).$((RANDOM % 10))"; }

# 1: options changed, killed at a random moment while the crosshair runs.
e2e_start || e2e_finish
e2e_menu_choose "$E2E_ITEM_THICKNESS" 3
e2e_menu_choose "$E2E_ITEM_DISPLAY" 1
random_pause
kill_lumek "killed while running"

# 2: killed with the menu open, right after a change.
e2e_start || e2e_finish
e2e_menu_choose "$E2E_ITEM_SPEED" 0
e2e_open_menu && random_pause
kill_lumek "killed with the menu open"

# 3: killed a random moment after the start, the options read and not changed.
e2e_start || e2e_finish
random_pause
kill_lumek "killed after the start"
rm -f "$E2E_DIR/expected.ini"
e2e_finish
