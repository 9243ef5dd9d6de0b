#!/usr/bin/env bash
# The red 1-pixel crosshair crosses one pixel right of and below the pointer,
# over the whole screen, and follows the pointer.
source "$(dirname "$0")/lib.sh" "$@"
RED=FF0000

# True once a fresh screenshot shows both lines through (x+1, y+1).
cross_shown() {
  local shot
  shot=$(e2e_shot "$3")
  [ "$(e2e_pixel "$shot" $(($1 + 1)) 5)" = $RED ] && [ "$(e2e_pixel "$shot" 5 $(($2 + 1)))" = $RED ]
}

check_cross() {
  local shot=$1 x=$2 y=$3 label=$4
  local size w h
  size=$(e2e_screen_size); w=${size%x*}; h=${size#*x}
  local column row left above
  column=$(e2e_count_column "$shot" $((x + 1)) $RED)
  row=$(e2e_count_row "$shot" $((y + 1)) $RED)
  left=$(e2e_count_column "$shot" "$x" $RED)
  above=$(e2e_count_row "$shot" "$y" $RED)
  # The other line crosses each column and row once; the pointer itself may cover a few pixels.
  [ "$column" -ge $((h - 40)) ] && e2e_pass "$label: column x+1 red ($column of $h)" || e2e_fail "$label: column x+1 has $column red pixels of $h"
  [ "$row" -ge $((w - 40)) ] && e2e_pass "$label: row y+1 red ($row of $w)" || e2e_fail "$label: row y+1 has $row red pixels of $w"
  [ "$left" -le 2 ] && e2e_pass "$label: column x not covered" || e2e_fail "$label: column x has $left red pixels"
  [ "$above" -le 2 ] && e2e_pass "$label: row y not covered" || e2e_fail "$label: row y has $above red pixels"
}

e2e_start || e2e_finish
xdotool mousemove 300 200
e2e_eventually 5 cross_shown 300 200 crosshair-300-200 || true
check_cross "$(e2e_shot crosshair-300-200)" 300 200 "at (300, 200)"
# The lines follow within two tracking periods at 20 ms, plus what Wine and X take to show a move.
xdotool mousemove 701 457
e2e_eventually 3 cross_shown 701 457 crosshair-701-457 || true
check_cross "$(e2e_shot crosshair-701-457)" 701 457 "after moving to (701, 457)"
e2e_finish
