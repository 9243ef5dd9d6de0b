#!/usr/bin/env bash
# The heartbeat timer plays the zone's sound by its bare name, and with WARP=1
# the warp timer wraps a pointer resting on an edge to the opposite one.
# Wine's own trace of its sound player shows which file each beat asked for.
source "$(dirname "$0")/lib.sh" "$@"

size=$(e2e_screen_size); W=${size%x*}; H=${size#*x}
printf '[SET]\r\nWARP=1\r\n' > "$E2E_DIR/LUMEK.ini"
trace="$E2E_DIR/winmm-trace.txt"
xdotool mousemove $((W / 2)) $((H / 2))
(cd "$E2E_DIR" && WINEDEBUG=trace+winmm exec wine LUMEK.exe >"$trace" 2>&1) &
E2E_PID=$!
wine "$E2E_CTL" wait-app 30 || e2e_fail "Lumek did not start"
sleep 3
centre=$(grep -c 'SoundName=L"heartbeat_center.wav"' "$trace")
[ "$centre" -ge 2 ] && e2e_pass "centre beats at the screen centre ($centre)" || e2e_fail "centre beats: $centre"

# Left edge: left beats, and the pointer keeps jumping to the right edge and back.
xdotool mousemove 0 400
e2e_pointer_seen_at $((W - 1)) 400 3 && e2e_pass "pointer on the left edge wraps to the right edge" || e2e_fail "pointer never reached the right edge"
sleep 2.5
# The pointer is on one edge or the other at each beat, so each beat is a left or a right one.
side=$(grep -cE 'SoundName=L"heartbeat_(left|right).wav"' "$trace")
[ "$side" -ge 1 ] && e2e_pass "side beats while wrapping ($side)" || e2e_fail "side beats: $side"

# Top-left corner: two moves a tick, ending at the bottom-left corner.
xdotool mousemove 0 0
e2e_pointer_seen_at 0 $((H - 1)) 3 && e2e_pass "top-left corner wraps to the bottom-left corner" || e2e_fail "pointer never reached (0, $((H - 1)))"

xdotool mousemove 500 300
e2e_finish
