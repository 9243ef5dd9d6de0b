#!/usr/bin/env bash
# Lumek run from a folder whose path is over 300 characters reads its
# settings there, and an option changed from the menu is saved there at exit.
source "$(dirname "$0")/lib.sh" "$@"
SHORT_DIR=$E2E_DIR

# Wine: the folder is Z: followed by the Linux path.
LONG_DIR=$SHORT_DIR
while [ $((2 + ${#LONG_DIR})) -le 310 ]; do LONG_DIR="$LONG_DIR/$(printf 'f%.0s' {1..60})"; done
mkdir -p "$LONG_DIR"
mv "$SHORT_DIR"/*.exe "$SHORT_DIR"/*.wav "$SHORT_DIR"/*.txt "$LONG_DIR"/ 2>/dev/null
E2E_DIR=$LONG_DIR
echo "folder: $(winepath -w "$LONG_DIR")"

# Read at the start: the thickness and the speed the menu would never set together by itself.
printf '[SET]\r\nXYBOLD=3\r\nSPEED=180\r\n' > "$LONG_DIR/LUMEK.ini"
e2e_start || { E2E_DIR=$SHORT_DIR; e2e_finish; }
e2e_menu_choose "$E2E_ITEM_DISPLAY" 1
wine "$E2E_CTL" close
e2e_wait_exit
[ "$E2E_EXIT" = "0" ] && e2e_pass "exit code 0" || e2e_fail "exit code $E2E_EXIT"
# Written in place: the keys read kept where they were, the rest after them.
if cmp -s <(printf '[SET]\r\nXYBOLD=3\r\nSPEED=180\r\nXVISIBLE=1\r\nYVISIBLE=0\r\nWARP=0\r\nXYCOLOR=255\r\nSOUND=1\r\nALLSCREENS=0\r\n') "$LONG_DIR/LUMEK.ini"; then
  e2e_pass "LUMEK.ini holds the values read and the horizontal line switched off"
else
  e2e_fail "LUMEK.ini: $(od -c "$LONG_DIR/LUMEK.ini" 2>&1 | head -8 | tr '\n' ' ')"
fi
[ ! -e "$LONG_DIR/LUMEK.ini.new" ] && e2e_pass "no new file left" || e2e_fail "LUMEK.ini.new left behind"

# Read again: the next start shows the horizontal line off.
e2e_start || { E2E_DIR=$SHORT_DIR; e2e_finish; }
e2e_window_viewable '"YForm1"' && e2e_fail "the horizontal line is shown" || e2e_pass "the horizontal line stays off"
wine "$E2E_CTL" close
e2e_wait_exit
E2E_DIR=$SHORT_DIR
e2e_finish
