#!/usr/bin/env bash
# Two copies started from one folder and closed at once, or ended together by
# a logoff, take turns with LUMEK.ini: every round leaves all of its keys,
# each with its value, as one copy alone writes them.
source "$(dirname "$0")/lib.sh" "$@"
ROUNDS=5
SECOND_PID=""

# The file each round starts from: one key, so both copies' passes add the rest.
write_start_file() { printf '[SET]\r\nXYBOLD=2\r\n' > "$E2E_DIR/LUMEK.ini"; }

# What one copy writes over that file: the key it held keeps its place at the top.
expected_settings_text() {
  printf '[SET]\r\nXYBOLD=2\r\nXVISIBLE=1\r\nYVISIBLE=1\r\nWARP=0\r\nXYCOLOR=255\r\nSOUND=1\r\nSPEED=20\r\nALLSCREENS=0\r\n'
}

check_settings() {
  if cmp -s <(expected_settings_text) "$E2E_DIR/LUMEK.ini"; then
    e2e_pass "$1: LUMEK.ini holds every key with its value"
  else
    e2e_fail "$1: LUMEK.ini lost or changed keys: $(od -c "$E2E_DIR/LUMEK.ini" 2>&1 | head -8 | tr '\n' ' ')"
  fi
}

both_settled() { [ "$(e2e_viewable_windows '"XForm1"' | wc -l)" -ge 2 ]; }

# Starts the first copy as every test does, then a second from the same folder.
start_two_copies() {
  local label=$1
  e2e_start || return 1
  (cd "$E2E_DIR" && exec wine LUMEK.exe >/dev/null 2>&1) &
  SECOND_PID=$!
  e2e_own_process "$SECOND_PID"
  wine "$E2E_CTL" wait-count 2 30 || { e2e_fail "$label: the second copy did not start"; return 1; }
  e2e_eventually 30 both_settled || { e2e_fail "$label: the second copy showed no lines"; return 1; }
  # Both read passes are done once both copies show their lines.
  sleep 0.5
}

# Waits for both copies to end; $2 is how long they may take.
wait_both_ended() {
  local label=$1 seconds=$2
  e2e_eventually "$seconds" bash -c "! kill -0 $E2E_PID 2>/dev/null && ! kill -0 $SECOND_PID 2>/dev/null" &&
    e2e_pass "$label: both copies ended" || e2e_fail "$label: a copy still runs $seconds s later"
  e2e_wait_exit
  local second_exit=0
  e2e_wait_helper "$SECOND_PID" || second_exit=$?
  SECOND_PID=""
  echo "$label: exit codes $E2E_EXIT and $second_exit"
}

for round in $(seq 1 $ROUNDS); do
  label="closed together, round $round"
  write_start_file
  start_two_copies "$label" || e2e_finish
  wine "$E2E_CTL" close-all || e2e_fail "$label: lumekctl found no copy to close"
  wait_both_ended "$label" 30
  check_settings "$label"
done

# The logoff round last: the tests after this one need the prefix again.
label="ended by a logoff"
write_start_file
start_two_copies "$label" || e2e_finish
# Wine: wineboot --end-session sends the session-end messages to every
# process of the prefix, as a real logoff does, then ends them.
wineboot --end-session --shutdown >/dev/null 2>&1 &
WINEBOOT_PID=$!
e2e_own_process "$WINEBOOT_PID"
wait_both_ended "$label" 60
e2e_wait_helper "$WINEBOOT_PID" || true
check_settings "$label"
e2e_new_session
e2e_finish
