#!/usr/bin/env bash
# Lumek starts with no visible window of its own, runs until its application
# window is asked to close, then exits with 0 and leaves the default settings.
source "$(dirname "$0")/lib.sh" "$@"

e2e_start || e2e_finish
app=$(xwininfo -root -tree | awk '/"Lumek": \("lumek.exe"/ {print $1; exit}')
if [ -n "$app" ] && xwininfo -id "$app" | grep -q "IsViewable"; then
  e2e_fail "the application window (taskbar button) is visible"
else
  e2e_pass "no visible application window"
fi
wine "$E2E_CTL" close
code=$(e2e_wait_exit)
[ "$code" = "0" ] && e2e_pass "exit code 0" || e2e_fail "exit code $code"
expected=$(printf '[SET]\r\nXVISIBLE=1\r\nYVISIBLE=1\r\nWARP=0\r\nXYCOLOR=255\r\nXYBOLD=1\r\nSOUND=1\r\nSPEED=20\r\n')
actual=$(cat "$E2E_DIR/LUMEK.ini" 2>/dev/null)
[ "$actual" = "$expected" ] && e2e_pass "default settings written" || e2e_fail "settings file: $(od -c "$E2E_DIR/LUMEK.ini" 2>&1 | head -5)"
e2e_finish
