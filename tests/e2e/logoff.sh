#!/usr/bin/env bash
# A logoff (the session ends without the exit command) still saves the options
# changed since the start.
source "$(dirname "$0")/lib.sh" "$@"

e2e_start || e2e_finish
e2e_menu_choose "$E2E_ITEM_THICKNESS" 1
# Wine: wineboot --end-session sends the session-end messages to every
# process of the prefix, as a real logoff does, then ends them.
wineboot --end-session --shutdown >/dev/null 2>&1 &
WINEBOOT_PID=$!
e2e_own_process "$WINEBOOT_PID"
e2e_eventually 60 bash -c "! kill -0 $E2E_PID 2>/dev/null" && e2e_pass "Lumek ended with the session" || e2e_fail "Lumek still runs 60 s after the logoff"
e2e_wait_exit
echo "exit code after the logoff: $E2E_EXIT"
e2e_wait_helper "$WINEBOOT_PID" || true
e2e_check_settings "after the logoff" 1 1 0 255 2 1 20
# The tests after this one need the prefix's wineserver and desktop again.
e2e_new_session
e2e_start || e2e_finish
wine "$E2E_CTL" close
e2e_wait_exit
[ "$E2E_EXIT" = "0" ] && e2e_pass "Lumek runs again after the logoff" || e2e_fail "exit code $E2E_EXIT after the restart"
e2e_check_settings "after the restart" 1 1 0 255 2 1 20
e2e_finish
