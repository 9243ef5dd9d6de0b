#!/usr/bin/env bash
# After the shell announces a new notification area ("TaskbarCreated"), Lumek's
# icon is there once (not twice) and still answers a right-click.
#
# Wine: explorer never broadcasts "TaskbarCreated" itself and its tray keeps
# the icons it has; lumekctl broadcasts the message as a restarted shell would.
source "$(dirname "$0")/lib.sh" "$@"

e2e_start || e2e_finish
# The crosshair away from the tray, so that only icons are seen there.
xdotool mousemove 600 400
sleep 0.5
shot=$(e2e_shot shell-before)
before=$(e2e_tray_slot_colours "$shot" 0)
[ "$before" -ge 3 ] && e2e_pass "icon drawn before the broadcast" || e2e_fail "no icon before the broadcast ($before colours)"

wine "$E2E_CTL" taskbar-created && e2e_pass "TaskbarCreated broadcast" || e2e_fail "lumekctl taskbar-created failed"
sleep 2
kill -0 "$E2E_PID" 2>/dev/null && e2e_pass "Lumek survives the broadcast" || e2e_fail "Lumek ended after the broadcast"
shot=$(e2e_shot shell-after)
after=$(e2e_tray_slot_colours "$shot" 0)
second=$(e2e_tray_slot_colours "$shot" 1)
[ "$after" -ge 3 ] && e2e_pass "the icon is in the tray after the broadcast" || e2e_fail "no icon after the broadcast ($after colours)"
[ "$second" -le 1 ] && e2e_pass "the icon is there once" || e2e_fail "a second icon appeared in the tray ($second colours in slot 1)"

e2e_open_menu || e2e_finish
e2e_pass "a right-click still opens the menu"
e2e_menu_click "$E2E_ITEM_CLOSE"
wine "$E2E_CTL" close
e2e_wait_exit
[ "$E2E_EXIT" = "0" ] && e2e_pass "exit code 0" || e2e_fail "exit code $E2E_EXIT"
e2e_finish
