#!/usr/bin/env bash
# From a folder named outside code page 932, started from another current
# directory: the settings are read, written at exit and at a logoff, the
# heartbeat reads its files from beside the exe and plays them (Wine's file
# and winmm traces), and the user's guide opens (Wine's exec trace).
source "$(dirname "$0")/lib.sh" "$@"

folder="$E2E_DIR/Lumek Üé 한 😀"
mkdir "$folder"
find "$E2E_DIR" -maxdepth 1 -type f -exec mv {} "$folder/" \;
printf '[SET]\r\nXYBOLD=3\r\n' > "$folder/LUMEK.ini"
trace="$E2E_DIR/trace.txt"
xdotool mousemove 640 400

start_in_folder() {
  (cd "$E2E_DIR" && WINEDEBUG=trace+winmm,trace+file,trace+exec exec wine "$folder/LUMEK.exe" >"$trace" 2>&1) &
  E2E_PID=$!
  wine "$E2E_CTL" wait-app 30 || { e2e_fail "Lumek did not start"; return 1; }
}

# The vertical line drawn 3 pixels wide through x = 500 (its left edge one pixel right of the pointer).
three_pixel_line() {
  local shot
  shot=$(e2e_shot unicode-folder)
  [ "$(e2e_pixel "$shot" 503 100)" = FF0000 ] && [ "$(e2e_pixel "$shot" 504 100)" != FF0000 ]
}

start_in_folder || e2e_finish
xdotool mousemove 500 300
e2e_eventually 10 three_pixel_line && e2e_pass "XYBOLD=3 read: the vertical line is 3 pixels" ||
  e2e_fail "the settings beside the exe were not read"
e2e_eventually 10 grep -q 'Memory sound' "$trace" && e2e_pass "the heartbeat plays from memory" ||
  e2e_fail "no beat played"
grep -qE 'NtCreateFile.*heartbeat_(left|center|right)\.wav' "$trace" &&
  e2e_pass "the sound was read from the folder" || e2e_fail "no sound file opened"

e2e_menu_choose "$E2E_ITEM_GUIDE"
e2e_eventually 10 grep -qE 'ShellExecute.*Readme\.txt' "$trace" && e2e_pass "the guide goes to the shell" ||
  e2e_fail "the guide was not opened"
# The shell's viewer for the guide is a process of this prefix; it goes with the test.
e2e_eventually 5 pgrep -f 'notepad.*Readme' >/dev/null || true
for pid in $(pgrep -f 'notepad.*Readme'); do kill "$pid" 2>/dev/null || true; done

wine "$E2E_CTL" close
e2e_wait_exit
# The key the file held keeps its place at the top; the others follow in writing order.
settings_with_bold() {
  printf '[SET]\r\nXYBOLD=%s\r\nXVISIBLE=1\r\nYVISIBLE=1\r\nWARP=0\r\nXYCOLOR=255\r\nSOUND=1\r\nSPEED=20\r\nALLSCREENS=0\r\n' "$1"
}
cmp -s <(settings_with_bold 3) "$folder/LUMEK.ini" && e2e_pass "written at exit" ||
  e2e_fail "LUMEK.ini after exit: $(od -c "$folder/LUMEK.ini" | head -4 | tr '\n' ' ')"

start_in_folder || e2e_finish
e2e_menu_choose "$E2E_ITEM_THICKNESS" 1
wineboot --end-session --shutdown >/dev/null 2>&1 &
WINEBOOT_PID=$!
e2e_own_process "$WINEBOOT_PID"
e2e_eventually 60 bash -c "! kill -0 $E2E_PID 2>/dev/null" || e2e_fail "Lumek still runs 60 s after the logoff"
e2e_wait_exit
e2e_wait_helper "$WINEBOOT_PID" || true
cmp -s <(settings_with_bold 2) "$folder/LUMEK.ini" && e2e_pass "written at the logoff" ||
  e2e_fail "LUMEK.ini after the logoff: $(od -c "$folder/LUMEK.ini" | head -4 | tr '\n' ' ')"
# The tests after this one need the prefix's wineserver and desktop again.
lumek_ensure_wine
e2e_finish
