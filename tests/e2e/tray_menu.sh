#!/usr/bin/env bash
# Lumek lives in the notification area: its icon sits in the tray, it shows no
# window of its own, a real right-click on the icon opens the Japanese menu at
# the pointer, and "閉じる(&C)" only dismisses it.
source "$(dirname "$0")/lib.sh" "$@"
RED=FF0000

e2e_start || e2e_finish

if e2e_eventually 10 e2e_tray_icon 0; then
  e2e_pass "the tray window has room for an icon at ($E2E_ICON_X, $E2E_ICON_Y)"
else
  e2e_fail "no Wine System Tray window with an icon"
  e2e_finish
fi
# The icon is drawn in the first slot, and only there: the crosshair is
# kept away from the tray for this look.
xdotool mousemove 600 400
sleep 0.5
shot=$(e2e_shot tray-icon)
colours=$(e2e_tray_slot_colours "$shot" 0)
[ "$colours" -ge 3 ] && e2e_pass "the icon is drawn ($colours colours)" || e2e_fail "the icon square holds $colours colour(s)"
colours=$(e2e_tray_slot_colours "$shot" 1)
[ "$colours" -le 1 ] && e2e_pass "one icon only" || e2e_fail "the second tray slot holds $colours colours"

# No taskbar button, no main form: nothing of Lumek's is viewable but the two lines.
others=$(e2e_viewable_windows '"lumek.exe"' | grep -v -E "^$(xwininfo -root -tree | grep -E '"(XForm1|YForm1)"' | awk '{print $1}' | paste -sd'|') ")
[ -z "$others" ] && e2e_pass "no visible window besides the lines" || e2e_fail "visible Lumek windows: $others"

e2e_open_menu || e2e_finish
read -r menu w h x y <<< "$E2E_MENU"
e2e_pass "a right-click opened the menu window $w x $h at ($x, $y)"
# Top edge at the pointer, centred on it as far as the screen's left edge allows.
expected_x=$((E2E_ICON_X - w / 2)); [ "$expected_x" -lt 0 ] && expected_x=0
[ "$y" -eq "$E2E_ICON_Y" ] && e2e_pass "the menu's top is at the pointer" || e2e_fail "menu top $y, pointer y $E2E_ICON_Y"
[ $((x - expected_x)) -ge -1 ] && [ $((x - expected_x)) -le 1 ] && e2e_pass "the menu is centred on the pointer" ||
  e2e_fail "menu left $x, expected $expected_x for a pointer at x $E2E_ICON_X"
# Ten text rows and five separators.
expected_h=$(e2e_menu_height "$E2E_MENU_LAYOUT")
[ "$h" -eq "$expected_h" ] && e2e_pass "menu height $h fits 10 items and 5 separators" || e2e_fail "menu height $h, expected $expected_h"
[ "$w" -ge 120 ] && [ "$w" -le 400 ] && e2e_pass "menu width $w is plausible" || e2e_fail "menu width $w"

sleep 0.5
shot=$(e2e_shot tray-menu-open)
# Every text row carries ink (a caption), every separator row a line; the
# captions themselves are checked by eye on the saved screenshot.
empty_rows=""
for ((i = 0; i < ${#E2E_MENU_LAYOUT}; i++)); do
  row=$(e2e_menu_item_y "$y" "$E2E_MENU_LAYOUT" "$i")
  dark=$(e2e_dark_pixels "$shot" "$((w - 24))x5+$((x + 12))+$((row - 2))" 75)
  [ "$dark" -ge 3 ] || empty_rows="$empty_rows $i"
done
[ -z "$empty_rows" ] && e2e_pass "every menu row shows a caption or a separator" || e2e_fail "blank menu rows:$empty_rows"
# Defaults: only the heartbeat item of the top level carries a check mark.
e2e_menu_checked "$shot" "$E2E_ITEM_SOUND" && e2e_pass "心音を鳴らす(&B) is checked" || e2e_fail "心音を鳴らす(&B) shows no check mark"
e2e_menu_checked "$shot" "$E2E_ITEM_WARP" && e2e_fail "カーソルをワープさせる(&W) shows a check mark" || e2e_pass "the warp item is unchecked"
# The docs picture: the crosshair with the open menu, around the tray.
mkdir -p "$E2E_ROOT/docs"
convert "$shot" -crop "$((x + w + 260))x$((y + h + 140))+0+0" +repage "$E2E_SHOTS/docs-screenshot.png"
echo "docs material: $E2E_SHOTS/docs-screenshot.png"

e2e_menu_click "$E2E_ITEM_CLOSE"
e2e_pass "閉じる(&C) closed the menu"
# Nothing changed: the 1-pixel red crosshair still follows the pointer.
xdotool mousemove 500 300
sleep 0.5
shot=$(e2e_shot tray-menu-closed)
[ "$(e2e_pixel "$shot" 501 100)" = $RED ] && [ "$(e2e_pixel "$shot" 502 100)" != $RED ] &&
  e2e_pass "the vertical line is still 1 pixel at x+1" || e2e_fail "vertical line changed after 閉じる(&C)"
[ "$(e2e_pixel "$shot" 100 301)" = $RED ] && e2e_pass "the horizontal line is still shown" || e2e_fail "horizontal line missing"
kill -0 "$E2E_PID" 2>/dev/null && e2e_pass "Lumek keeps running" || e2e_fail "Lumek ended"

wine "$E2E_CTL" close
e2e_wait_exit
[ "$E2E_EXIT" = "0" ] && e2e_pass "exit code 0" || e2e_fail "exit code $E2E_EXIT"
e2e_check_settings "after 閉じる(&C)" 1 1 0 255 1 1 20
e2e_finish
