#!/usr/bin/env bash
# A topmost window of another program that opens over the crosshair while the
# pointer rests, never taking the focus, has the red lines over it again
# shortly after; and the lines stay over it while the pointer moves across it.
source "$(dirname "$0")/lib.sh" "$@"
RED=FF0000
WHITE=FFFFFF

e2e_start || e2e_finish
xdotool mousemove 400 300
sleep 0.5

# Both lines cross the cover's white square once they are back on top.
lines_over_cover() {
  local shot
  shot=$(e2e_shot lines-over-cover)
  [ "$(e2e_pixel "$shot" $(($1 + 1)) 260)" = $RED ] && [ "$(e2e_pixel "$shot" 360 $(($2 + 1)))" = $RED ] &&
    [ "$(e2e_pixel "$shot" 330 230)" = $WHITE ]
}

log="$E2E_DIR/cover.txt"
wine "$E2E_CTL" cover 300 200 300 300 6 > "$log" 2>&1 &
cover=$!
e2e_own_process "$cover"
e2e_eventually 10 grep -q shown "$log" || e2e_fail "the cover window did not open"
# Timing lives in the benchmark; here only that they come back, at rest.
e2e_eventually 3 lines_over_cover 400 300 && e2e_pass "at rest, the lines came back over the topmost window" ||
  e2e_fail "the lines stayed under the topmost window"
xdotool mousemove 450 350
sleep 0.3
e2e_eventually 3 lines_over_cover 450 350 && e2e_pass "moving, the lines stay over it" ||
  e2e_fail "the lines went under the topmost window while moving"
e2e_wait_helper "$cover"
grep -q 'focus kept' "$log" && e2e_pass "the cover window neither took nor lost the focus" ||
  e2e_fail "the focus changed: $(tr -d '\r' < "$log" | paste -sd' ')"
xdotool mousemove 600 500
e2e_finish
