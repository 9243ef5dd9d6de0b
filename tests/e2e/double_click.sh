#!/usr/bin/env bash
# A double-click on the tray icon hides the crosshair and the next one shows
# it again, without touching the menu's check marks (so nothing of it is saved).
#
# Wine: an open popup menu grabs the pointer, so with real clicks the first
# press (which opens the menu, as on Windows) swallows the second one. The
# gesture is therefore posted as the shell sends it: lumekctl tray-notify
# 0x201, 0x202, 0x203, 0x202. The first press still opens the menu; the
# double-click arrives inside the menu's modal loop and hides or shows the
# lines there; a real click beside the menu then dismisses it.
source "$(dirname "$0")/lib.sh" "$@"
RED=FF0000
POINTER_X=900 POINTER_Y=600

# True when a fresh screenshot shows the vertical line ($1 = 1) or not ($1 = 0)
# and the horizontal one ($2) through the pointer.
lines_shown() {
  local shot vertical=0 horizontal=0
  shot=$(e2e_shot "$3")
  [ "$(e2e_count_row "$shot" 100 $RED)" -gt 0 ] && vertical=1
  [ "$(e2e_count_column "$shot" 100 $RED)" -gt 0 ] && horizontal=1
  [ "$vertical$horizontal" = "$1$2" ]
}

# The double-click gesture as the shell posts it; the menu its first press
# opened is dismissed by a real click beside it.
double_click() {
  local known
  xdotool mousemove $POINTER_X $POINTER_Y
  sleep 0.3
  known=$(e2e_window_ids "$E2E_POPUP_PATTERN")
  wine "$E2E_CTL" tray-notify 0x201 0x202 0x203 0x202 || e2e_fail "$1: could not post the gesture to the tray window"
  if e2e_wait_new_window "$E2E_POPUP_PATTERN" 10 "$known"; then
    E2E_MENU=$E2E_NEW
    local id w h x y
    read -r id w h x y <<< "$E2E_MENU"
    e2e_pass "$1: the first press opened the menu at ($x, $y)"
    e2e_click 300 200
    e2e_eventually 10 e2e_window_gone "$id" || e2e_fail "$1: a click beside the menu did not dismiss it"
  else
    e2e_fail "$1: the first press of the double-click opened no menu"
  fi
}

expect_lines() {  # label vertical horizontal
  local name
  name=$(echo "$1" | tr -c 'a-z0-9\n' -)
  if e2e_eventually 10 lines_shown "$2" "$3" "$name"; then
    e2e_pass "$1: vertical line $2, horizontal line $3"
  else
    e2e_fail "$1: expected vertical $2 and horizontal $3 (screenshot $E2E_SHOTS/$name.png)"
  fi
}

e2e_start || e2e_finish
xdotool mousemove 500 300
expect_lines "at start" 1 1

double_click "first double-click"
expect_lines "after the first double-click" 0 0
double_click "second double-click"
expect_lines "after the second double-click" 1 1

# Exit while hidden: the marks were never touched, so both lines are saved as
# shown and come back at the next start.
double_click "third double-click"
expect_lines "after the third double-click" 0 0
wine "$E2E_CTL" close
e2e_wait_exit
[ "$E2E_EXIT" = "0" ] && e2e_pass "exit code 0" || e2e_fail "exit code $E2E_EXIT"
e2e_check_settings "closed while hidden by a double-click" 1 1 0 255 1 1 20
e2e_start || e2e_finish
xdotool mousemove 500 300
expect_lines "restarted" 1 1

# Hidden by a double-click, then the vertical line unchecked: the next
# double-click shows the horizontal line only.
double_click "fourth double-click"
expect_lines "after the fourth double-click" 0 0
e2e_menu_choose "$E2E_ITEM_DISPLAY" 0
expect_lines "vertical line unchecked while hidden" 0 0
double_click "fifth double-click"
expect_lines "after the fifth double-click" 0 1

wine "$E2E_CTL" close
e2e_wait_exit
e2e_check_settings "after unchecking the vertical line" 0 1 0 255 1 1 20
e2e_finish
