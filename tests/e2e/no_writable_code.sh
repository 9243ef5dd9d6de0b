#!/usr/bin/env bash
# No memory of the running Lumek is both writable and executable, with its
# tray menu open and after it closed. A plain windowed program of the same
# bitness under the same Wine is the control: a mapping Wine makes for every
# program would show there too, and is not Lumek's.
source "$(dirname "$0")/lib.sh" "$@"

# The mappings of a Linux process that are writable and executable at once.
writable_code() { awk '$2 ~ /w/ && $2 ~ /x/' "/proc/$1/maps"; }

# The Linux process named $1 whose working folder is this test's private copy.
process_in_test_folder() {
  local pid
  for pid in $(pgrep -x "$1"); do
    [ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" = "$E2E_DIR" ] && { echo "$pid"; return 0; }
  done
  return 1
}

check_lumek() {
  local pid found
  pid=$(e2e_lumek_pid) || { e2e_fail "$1: no Lumek process"; return; }
  found=$(writable_code "$pid")
  [ -z "$found" ] && e2e_pass "$1: no writable and executable mapping" ||
    e2e_fail "$1: writable and executable mappings: $(echo "$found" | tr '\n' ';')"
}

# The control, started beside Lumek: lumekctl's small topmost window, in the corner away from the tray.
(cd "$E2E_DIR" && exec wine "$E2E_CTL" cover 0 0 8 8 30 > cover.out) &
e2e_own_process $!
e2e_start || e2e_finish
if e2e_eventually 20 grep -q shown "$E2E_DIR/cover.out" && control=$(process_in_test_folder lumekctl.exe); then
  found=$(writable_code "$control")
  [ -z "$found" ] && e2e_pass "the control program has no writable and executable mapping" ||
    e2e_fail "Wine maps writable code for a plain program too, so the check tells nothing: $(echo "$found" | tr '\n' ';')"
  kill "$control"
else
  e2e_fail "the control program did not show its window"
fi

check_lumek "started"
e2e_open_menu || e2e_finish
check_lumek "menu open"
e2e_menu_click "$E2E_ITEM_CLOSE"
check_lumek "menu closed"
wine "$E2E_CTL" close
e2e_wait_exit
[ "$E2E_EXIT" = "0" ] && e2e_pass "exit code 0" || e2e_fail "exit code $E2E_EXIT"
e2e_finish
