#!/usr/bin/env bash
# A window of the user's, at the front before Lumek starts, keeps every typed
# key, every click and the foreground while Lumek starts and the crosshair
# follows the pointer over it: typing at rest, while moving and after, and
# clicks made right after nudging the pointer one pixel onto the lines. The
# same session without Lumek is the control.
source "$(dirname "$0")/lib.sh" "$@"

log="$E2E_DIR/pad.txt"
wine "$E2E_CTL" pad 100 100 700 500 60 > "$log" 2>&1 &
pad=$!
e2e_own_process "$pad"
e2e_eventually 20 grep -q ready "$log" || { e2e_fail "the user's window did not get the foreground"; e2e_finish; }

# Prints "CLICKS FOREGROUND-CHANGES KEYS" of the log's lines after line $1.
session_counts() {
  local lines
  lines=$(tail -n +$(($1 + 1)) "$log" | tr -d '\r')
  printf '%s %s %s\n' "$(grep -c '^click ' <<< "$lines")" "$(grep -c '^foreground ' <<< "$lines")" \
    "$(grep '^char ' <<< "$lines" | cut -c6 | tr -d '\n')"
}

# Types abc at rest, defgh while the pointer moves over the window, ijk after
# it stops, then 20 times moves, waits 250 ms, nudges one pixel and clicks
# (each step one chained xdotool run, so the timing is xdotool's own).
session() {
  local start moves=() clicks=() i x y
  start=$(wc -l < "$log")
  for i in $(seq 1 20); do moves+=(mousemove $((300 + i * 10)) $((250 + i * 5)) sleep 0.03); done
  for i in $(seq 0 19); do
    x=$((200 + (i % 5) * 80)) y=$((200 + (i / 5) * 60))
    clicks+=(mousemove $x $y sleep 0.25 mousemove $((x + 1)) $((y + 1)) click 1)
  done
  xdotool mousemove 300 250 sleep 0.3 type --delay 40 abc
  xdotool "${moves[@]}" &
  xdotool type --delay 60 defgh
  wait $!
  xdotool sleep 0.2 type --delay 40 ijk
  xdotool "${clicks[@]}" sleep 0.3
  session_counts "$start"
}

check() {
  local label=$1 keys clicks changes
  read -r clicks changes keys <<< "$2"
  [ "$keys" = abcdefghijk ] && e2e_pass "$label: 11 of 11 keys" || e2e_fail "$label: keys '$keys' of abcdefghijk"
  [ "$clicks" = 20 ] && e2e_pass "$label: 20 of 20 nudge-clicks" || e2e_fail "$label: $clicks of 20 nudge-clicks"
  [ "$changes" = 0 ] && e2e_pass "$label: the foreground never moved" ||
    e2e_fail "$label: the foreground moved $changes times: $(grep -a '^foreground ' "$log" | sort | uniq -c | paste -sd' ')"
}

check "without Lumek" "$(session)"
before=$(wc -l < "$log")
e2e_start || e2e_finish
session > /dev/null
check "with Lumek, its start-up included" "$(session_counts "$before")"
e2e_finish
