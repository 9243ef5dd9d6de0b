#!/usr/bin/env bash
# On a desktop of two monitors side by side (1024 x 768 primary, a taller
# 800 x 1000 right of it) Wine sees both, the lines span the monitor under
# the pointer, and the warp lets the pointer through the edge the monitors
# share but wraps it at the desktop's outer edges. Runs on a desktop of its
# own, in a Wine prefix of its own.
unset DISPLAY LUMEK_WINESERVER_READY WINEPREFIX_LUMEK
export LUMEK_SCREENS="1024x768 800x1000"
source "$(dirname "$0")/lib.sh" "$@"
RED=FF0000

# A bench that silently fell back to one monitor must fail here, loudly.
monitors=$(wine "$E2E_CTL" monitors | tr -d '\r')
expected=$'0 0 1024 768 primary\n1024 0 1824 1000'
if [ "$monitors" = "$expected" ]; then
  e2e_pass "Wine sees both monitors"
else
  e2e_fail "Wine sees these monitors, not the two of LUMEK_SCREENS: $(echo "$monitors" | paste -sd'|')"
  e2e_finish
fi

printf '[SET]\r\nWARP=1\r\nSOUND=0\r\n' > "$E2E_DIR/LUMEK.ini"
e2e_start || e2e_finish

# On the second monitor: the horizontal line covers that monitor's width
# only, and the vertical line starts at its top.
on_second() {
  local shot
  shot=$(e2e_shot two-monitors-second)
  [ "$(e2e_pixel "$shot" 1401 5)" = $RED ] && [ "$(e2e_pixel "$shot" 1030 501)" = $RED ]
}
xdotool mousemove 1400 500
e2e_eventually 5 on_second || true
shot=$(e2e_shot two-monitors-second)
row=$(e2e_count_row "$shot" 501 $RED)
[ "$row" -ge 760 ] && [ "$row" -le 805 ] && e2e_pass "the horizontal line spans the second monitor ($row pixels)" ||
  e2e_fail "row 501 has $row red pixels, not the second monitor's 800"
[ "$(e2e_pixel "$shot" 500 501)" != $RED ] && e2e_pass "the horizontal line leaves the primary alone" ||
  e2e_fail "the horizontal line reaches into the primary monitor"
# Screenshots repeat the shorter monitor's last row below it, so only its height is counted.
column=$(e2e_count_column "$shot" 1401 $RED)
[ "$column" -ge 740 ] && e2e_pass "the vertical line runs down the second monitor ($column pixels)" ||
  e2e_fail "column 1401 has $column red pixels"

# The shared edge is no trigger; the second monitor's right edge wraps to the primary's left.
xdotool mousemove 1023 300
sleep 0.5
e2e_pointer_seen_at 1023 300 1 && e2e_pass "the pointer rests on the shared edge" || e2e_fail "the shared edge moved the pointer"
xdotool mousemove 1823 300
e2e_pointer_seen_at 0 300 3 && e2e_pass "the outer right edge wraps to the primary's left edge" ||
  e2e_fail "the pointer never reached (0, 300)"

xdotool mousemove 500 300
e2e_finish
