#!/usr/bin/env bash
# Lumek starts with no visible window of its own, runs until its application
# window is asked to close, then exits with 0 and leaves the default settings.
source "$(dirname "$0")/lib.sh" "$@"

e2e_start || e2e_finish
# e2e_start waited for the application window to be unmapped; it must stay so.
sleep 1
if e2e_window_viewable '"Lumek": \("lumek.exe"'; then
  e2e_fail "the application window (taskbar button) is visible"
else
  e2e_pass "no visible application window"
fi
if e2e_window_viewable '\(has no name\): \("lumek.exe" "lumek.exe"\)  16[0-9]x'; then
  e2e_fail "the main form is visible"
else
  e2e_pass "the main form stays hidden"
fi
wine "$E2E_CTL" close
e2e_wait_exit
[ "$E2E_EXIT" = "0" ] && e2e_pass "exit code 0" || e2e_fail "exit code $E2E_EXIT"
expected=$(printf '[SET]\r\nXVISIBLE=1\r\nYVISIBLE=1\r\nWARP=0\r\nXYCOLOR=255\r\nXYBOLD=1\r\nSOUND=1\r\nSPEED=20\r\nALLSCREENS=0\r\n')
actual=$(cat "$E2E_DIR/LUMEK.ini" 2>/dev/null)
[ "$actual" = "$expected" ] && e2e_pass "default settings written" || e2e_fail "settings file: $(od -c "$E2E_DIR/LUMEK.ini" 2>&1 | head -5)"
e2e_finish
