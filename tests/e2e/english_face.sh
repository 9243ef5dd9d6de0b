#!/usr/bin/env bash
# Where the user interface is not Japanese (Wine under the C locale), the menu
# speaks English: Wine's menu trace shows every caption Lumek sets, all of
# them legible, none a question mark or a replacement character.
source "$(dirname "$0")/lib.sh" "$@"

trace="$E2E_DIR/menu-trace.txt"
(cd "$E2E_DIR" && LC_ALL=C WINEDEBUG=trace+menu exec wine LUMEK.exe >"$trace" 2>&1) &
E2E_PID=$!
wine "$E2E_CTL" wait-app 30 || e2e_fail "Lumek did not start"
# A right-button press on the icon opens the menu, which builds every level
# before it shows.
known=$(e2e_window_ids "$E2E_POPUP_PATTERN")
wine "$E2E_CTL" tray-notify 0x204
if e2e_wait_new_window "$E2E_POPUP_PATTERN" 10 "$known"; then
  # A click away from the menu dismisses it (an open menu holds the pointer).
  read -r menu _ <<< "$E2E_NEW"
  e2e_click 900 700
  e2e_eventually 10 e2e_window_gone "$menu" || e2e_fail "a click beside the menu did not dismiss it"
else
  e2e_fail "the right-button press opened no menu"
fi
# Lumek's items have small command numbers; the system menus' are 0xF000 and up.
captions=$(grep -E 'set_menu_item_info to: \{ ID=0x[0-9a-f]{1,3}, ' "$trace" | grep -o 'Text=L"[^"]*"' |
  sed -E 's/^Text=L"//; s/"$//')
count=$(grep -c . <<< "$captions")
[ "$count" -eq 21 ] && e2e_pass "21 captions set" || e2e_fail "$count captions set: $(tr '\n' '|' <<< "$captions")"
missing=""
for expected in "&Close" "Cursor &Display" "&Vertical Line" "&Horizontal Line" "Span &All Screens" \
  "&Wrap at Screen Edges" "Line C&olour..." "Line &Thickness" "&Extra Fine (1 px)" "&Fine (2 px)" "&Bold (3 px)" \
  "E&xtra Bold (4 px)" "Tracking &Speed" "&Fast (20 ms)" "F&airly Fast (60 ms)" "Fairly S&low (180 ms)" \
  "Sl&ow (540 ms)" "&Heartbeat" "User's &Guide" "&Information..." "E&xit"; do
  grep -qxF -- "$expected" <<< "$captions" || missing="$missing [$expected]"
done
[ -z "$missing" ] && e2e_pass "every caption in English" || e2e_fail "missing captions:$missing"
illegible=$(grep -E '\?|\\xfffd' <<< "$captions")
[ -z "$illegible" ] && e2e_pass "no question mark or replacement character" || e2e_fail "illegible: $illegible"

wine "$E2E_CTL" close
e2e_wait_exit
[ "$E2E_EXIT" = "0" ] && e2e_pass "exit code 0" || e2e_fail "exit code $E2E_EXIT"
e2e_finish
