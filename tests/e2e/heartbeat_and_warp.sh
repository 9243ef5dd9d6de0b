#!/usr/bin/env bash
# The heartbeat timer plays the zone's sound, read once from beside the exe
# and played from memory, and with WARP=1 the warp timer wraps a pointer
# resting on an edge to the opposite one. Wine's own traces show which file
# was read (file) and each beat played from memory (winmm).
source "$(dirname "$0")/lib.sh" "$@"

size=$(e2e_screen_size); W=${size%x*}; H=${size#*x}
printf '[SET]\r\nWARP=1\r\n' > "$E2E_DIR/LUMEK.ini"
trace="$E2E_DIR/winmm-trace.txt"
xdotool mousemove $((W / 2)) $((H / 2))
(cd "$E2E_DIR" && WINEDEBUG=trace+winmm,trace+file exec wine LUMEK.exe >"$trace" 2>&1) &
E2E_PID=$!
wine "$E2E_CTL" wait-app 30 || e2e_fail "Lumek did not start"
# How often the program opened a sound file.
e2e_sound_reads() { grep -cE 'NtCreateFile.*heartbeat_'"$1"'\.wav' "$trace"; }
e2e_memory_beats() { grep -c 'Memory sound' "$trace"; }
has_memory_beats() { [ "$(e2e_memory_beats)" -ge "$1" ]; }
# A beat or two a second at the centre.
e2e_eventually 10 has_memory_beats 2 || true
centre=$(e2e_memory_beats)
reads=$(e2e_sound_reads center)
[ "$centre" -ge 2 ] && e2e_pass "beats played from memory at the screen centre ($centre)" || e2e_fail "memory beats: $centre"
[ "$reads" -eq 1 ] && e2e_pass "heartbeat_center.wav read once" || e2e_fail "heartbeat_center.wav read $reads times"
[ "$(e2e_sound_reads left)$(e2e_sound_reads right)" = 00 ] && e2e_pass "no side sound read at the centre" ||
  e2e_fail "side sounds read at the centre"

# Left edge: left beats, and the pointer keeps jumping to the right edge and back.
xdotool mousemove 0 400
e2e_pointer_seen_at $((W - 1)) 400 3 && e2e_pass "pointer on the left edge wraps to the right edge" || e2e_fail "pointer never reached the right edge"
# The pointer is on one edge or the other at each beat, so each beat is a left or a right one.
side_sound_played() { [ $(($(e2e_sound_reads left) + $(e2e_sound_reads right))) -ge 1 ] && has_memory_beats $((centre + 1)); }
e2e_eventually 10 side_sound_played || true
side=$(($(e2e_sound_reads left) + $(e2e_sound_reads right)))
beats=$(($(e2e_memory_beats) - centre))
[ "$side" -ge 1 ] && [ "$beats" -ge 1 ] && e2e_pass "side sounds read ($side) and played ($beats) while wrapping" ||
  e2e_fail "side sounds read $side, beats $beats"

# Top-left corner: two moves a tick, ending at the bottom-left corner.
# Wine: a device's move over no window of a Windows program reaches Wine only
# when a program asks for the pointer over 100 ms after its position last
# changed. The warp, wrapping the pointer at the left edge every 100 ms tick,
# may keep being answered the place it put it, and put it back there; so the
# move to the corner is made again (up to four times) until the warp has seen it.
corner_wraps() {
  local attempt
  for attempt in 1 2 3 4; do
    xdotool mousemove 0 0
    e2e_pointer_seen_at 0 $((H - 1)) 1 && return 0
  done
  return 1
}
corner_wraps && e2e_pass "top-left corner wraps to the bottom-left corner" || e2e_fail "pointer never reached (0, $((H - 1)))"

xdotool mousemove 500 300
e2e_finish
