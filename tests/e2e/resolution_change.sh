#!/usr/bin/env bash
# A change of resolution made outside Lumek, which under Wine no message
# announces: with the pointer at rest the lines take the new size within
# 1.5 s, switched to 1024 x 768 and back to the bench's size. The display's
# mode is put back however the test ends, for the scripts that run after it.
source "$(dirname "$0")/lib.sh" "$@"
MODE=1024x768_t
OUTPUT=$(xrandr 2>/dev/null | awk '/ connected/ {print $1; exit}')
BENCH_MODE=$(xrandr 2>/dev/null | awk '/\*/ {print $1; exit}')
BENCH_SIZE=$(e2e_screen_size)
BENCH_W=${BENCH_SIZE%x*} BENCH_H=${BENCH_SIZE#*x}

# True once a program started now sees the bench's size again.
wine_sees_bench_size() { [ "$(wine "$E2E_CTL" monitors | tr -d '\r')" = "0 0 $BENCH_W $BENCH_H primary" ]; }

restore_mode() {
  [ -n "$OUTPUT" ] && [ -n "$BENCH_MODE" ] || return 0
  if [ "$(e2e_screen_size)" != "$BENCH_SIZE" ]; then
    xrandr --output "$OUTPUT" --mode "$BENCH_MODE" 2>/dev/null
    # Wine takes a moment to see it; the next script's Lumek must start on the bench's size.
    e2e_eventually 5 wine_sees_bench_size || echo "Wine still does not see $BENCH_SIZE"
  fi
  xrandr --delmode "$OUTPUT" "$MODE" 2>/dev/null
  xrandr --rmmode "$MODE" 2>/dev/null
  return 0
}
trap 'restore_mode; e2e_cleanup' EXIT

if [ -z "$OUTPUT" ] || [ -z "$BENCH_MODE" ] || [ "$BENCH_W" -le 1024 ] || [ "$BENCH_H" -le 768 ]; then
  e2e_fail "the display ($BENCH_SIZE, output '$OUTPUT', mode '$BENCH_MODE') cannot switch down to 1024 x 768"
  e2e_finish
fi
# A mode left behind by an earlier run is used as it is.
xrandr --newmode "$MODE" 63.5 1024 1072 1176 1328 768 771 775 798 2>/dev/null
xrandr --addmode "$OUTPUT" "$MODE" 2>/dev/null

# "HEIGHT WIDTH": the vertical line's height and the horizontal line's width, as X shows them.
line_lengths() {
  local vertical horizontal
  vertical=$(e2e_viewable_windows '"XForm1"' | head -1 | awk '{print $2}')
  horizontal=$(e2e_viewable_windows '"YForm1"' | head -1 | awk '{print $2}')
  vertical=${vertical%%+*} horizontal=${horizontal%%+*}
  echo "${vertical#*x} ${horizontal%x*}"
}

# Switches to mode $1 and checks that the lines become $2 tall and $3 wide within 1.5 s.
switch_and_follow() {
  local mode=$1 height=$2 width=$3 start elapsed lengths
  start=$(date +%s%N)
  xrandr --output "$OUTPUT" --mode "$mode" || { e2e_fail "xrandr could not switch to $mode"; return; }
  while :; do
    lengths=$(line_lengths)
    elapsed=$((($(date +%s%N) - start) / 1000000))
    [ "$lengths" = "$height $width" ] || [ "$elapsed" -gt 3000 ] && break
    sleep 0.05
  done
  if [ "$lengths" = "$height $width" ] && [ "$elapsed" -le 1500 ]; then
    e2e_pass "at $mode the lines are $height tall and $width wide after $elapsed ms"
  else
    e2e_fail "at $mode the lines are '$lengths' (height width) after $elapsed ms, not $height $width within 1500 ms"
  fi
}

printf '[SET]\r\nSOUND=0\r\n' > "$E2E_DIR/LUMEK.ini"
e2e_start || e2e_finish
xdotool mousemove 300 200
sleep 1
[ "$(line_lengths)" = "$BENCH_H $BENCH_W" ] && e2e_pass "the lines span the bench's $BENCH_SIZE" ||
  e2e_fail "before the switch the lines are '$(line_lengths)', not $BENCH_H $BENCH_W"

# The pointer stays where it is from here on.
switch_and_follow "$MODE" 768 1024
switch_and_follow "$BENCH_MODE" "$BENCH_H" "$BENCH_W"
e2e_finish
