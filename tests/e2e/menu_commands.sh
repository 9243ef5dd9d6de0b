#!/usr/bin/env bash
# Real clicks on the tray menu's items change the crosshair at once, exit
# through "終了する(&X)" saves every option, and the next start restores them.
source "$(dirname "$0")/lib.sh" "$@"
RED=FF0000

# Which of the columns x+1..x+5 are red at row 100 of a screenshot, as a string like "11100".
red_columns() {
  local shot=$1 x=$2 out="" i
  for i in 1 2 3 4 5; do [ "$(e2e_pixel "$shot" $((x + i)) 100)" = $RED ] && out="${out}1" || out="${out}0"; done
  echo "$out"
}
# Which of the rows y+1..y+5 are red at column 100.
red_rows() {
  local shot=$1 y=$2 out="" i
  for i in 1 2 3 4 5; do [ "$(e2e_pixel "$shot" 100 $((y + i)))" = $RED ] && out="${out}1" || out="${out}0"; done
  echo "$out"
}
lines_are() {  # x y columns rows shot-name
  local shot
  shot=$(e2e_shot "$5")
  [ "$(red_columns "$shot" "$1")" = "$3" ] && [ "$(red_rows "$shot" "$2")" = "$4" ]
}
expect_lines() {  # label x y columns rows
  xdotool mousemove "$2" "$3"
  if e2e_eventually 5 lines_are "$2" "$3" "$4" "$5" "$(echo "$1" | tr -c 'a-z0-9\n' -)"; then
    e2e_pass "$1: columns x+1..x+5 $4, rows y+1..y+5 $5"
  else
    local shot
    shot=$(e2e_shot "$(echo "$1" | tr -c 'a-z0-9\n' -)")
    e2e_fail "$1: columns x+1..x+5 $(red_columns "$shot" "$2") (want $4), rows $(red_rows "$shot" "$3") (want $5)"
  fi
}

e2e_start || e2e_finish
expect_lines "at start" 500 300 10000 10000

e2e_menu_choose "$E2E_ITEM_THICKNESS" 2
expect_lines "thickness 3" 500 300 11100 11100

e2e_menu_choose "$E2E_ITEM_DISPLAY" 0
expect_lines "vertical line off" 520 330 00000 11100
shot=$(e2e_shot vertical-off)
[ "$(e2e_count_row "$shot" 100 $RED)" -eq 0 ] && e2e_pass "no red column anywhere" || e2e_fail "row 100 still crosses $(e2e_count_row "$shot" 100 $RED) red pixels"

e2e_menu_choose "$E2E_ITEM_SOUND"
# The menu shows the new marks: heartbeat unchecked now.
e2e_open_menu || e2e_finish
sleep 0.5
shot=$(e2e_shot menu-after-commands)
e2e_menu_checked "$shot" "$E2E_ITEM_SOUND" && e2e_fail "心音を鳴らす(&B) still checked" || e2e_pass "心音を鳴らす(&B) unchecked"
e2e_menu_click "$E2E_ITEM_EXIT"
e2e_eventually 20 bash -c "! kill -0 $E2E_PID 2>/dev/null" || e2e_fail "Lumek still runs 20 s after 終了する(&X)"
e2e_wait_exit
[ "$E2E_EXIT" = "0" ] && e2e_pass "終了する(&X): exit code 0" || e2e_fail "exit code $E2E_EXIT"
e2e_check_settings "after the commands" 0 1 0 255 3 0 20

e2e_start || e2e_finish
expect_lines "restarted" 600 350 00000 11100
wine "$E2E_CTL" close
e2e_wait_exit
e2e_check_settings "after the restart" 0 1 0 255 3 0 20
e2e_finish
