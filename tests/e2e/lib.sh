# Shared by the end-to-end tests: run the real LUMEK.exe from a private copy
# of the package folder under Wine, look at the screen, drive the tray.
# Usage in a test:  source "$(dirname "$0")/lib.sh" "$@"
set -u
E2E_EXE=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
E2E_BUILD=$(cd "$2" && pwd)
E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export LUMEK_BUILD_DIR=$E2E_BUILD
source "$E2E_ROOT/scripts/wine-env.sh"
lumek_ensure_display
[ -n "${LUMEK_WINESERVER_READY:-}" ] || lumek_ensure_wine
E2E_CTL="$E2E_BUILD/tests/lumekctl.exe"
E2E_DIR=$(mktemp -d "$E2E_BUILD/e2e.XXXXXX")
E2E_SHOTS="$E2E_BUILD/e2e-shots"
mkdir -p "$E2E_SHOTS"
cp "$(dirname "$E2E_EXE")"/dist/Lumek/* "$E2E_DIR/" 2>/dev/null || cp "$E2E_EXE" "$E2E_DIR/"
E2E_PID=""
E2E_FAILURES=0

e2e_fail() { echo "FAIL: $*"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
e2e_pass() { echo "ok: $*"; }

e2e_start() {
  (cd "$E2E_DIR" && exec wine LUMEK.exe >/dev/null 2>&1) &
  E2E_PID=$!
  wine "$E2E_CTL" wait-app 30 || { e2e_fail "Lumek did not start"; return 1; }
  # Started means settled: the lines mapped and the application window
  # unmapped again. Wine maps and unmaps X windows some time after the calls.
  local i
  for i in $(seq 1 100); do
    if e2e_window_viewable '"XForm1"' && ! e2e_window_viewable '"Lumek": \("lumek.exe"'; then
      sleep 0.5
      return 0
    fi
    sleep 0.1
  done
  e2e_fail "Lumek did not settle: lines shown and application window hidden"
  return 1
}

# True when the first X window whose tree line matches the pattern is mapped and viewable.
e2e_window_viewable() {
  local id
  id=$(xwininfo -root -tree | grep -E "$1" | awk '{print $1; exit}')
  [ -n "$id" ] && xwininfo -id "$id" | grep -q "IsViewable"
}

# True when, sampled for up to $3 seconds, the pointer is seen at ($1, $2).
e2e_pointer_seen_at() {
  local i X Y SCREEN WINDOW
  for i in $(seq 1 $(($3 * 20))); do
    eval "$(xdotool getmouselocation --shell)"
    [ "$X" -eq "$1" ] && [ "$Y" -eq "$2" ] && return 0
    sleep 0.05
  done
  return 1
}

# Retries a command for up to $1 seconds until it succeeds.
e2e_eventually() {
  local seconds=$1; shift
  local i
  for i in $(seq 1 $((seconds * 5))); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# Waits for the Lumek process to end and sets E2E_EXIT to its exit code.
e2e_wait_exit() {
  E2E_EXIT=0
  wait "$E2E_PID" || E2E_EXIT=$?
  E2E_PID=""
}

e2e_stop() {
  if [ -n "$E2E_PID" ]; then
    wine "$E2E_CTL" close >/dev/null 2>&1 || true
    local i
    for i in $(seq 1 50); do kill -0 "$E2E_PID" 2>/dev/null || break; sleep 0.1; done
    kill "$E2E_PID" 2>/dev/null || true
    E2E_PID=""
  fi
}

e2e_finish() {
  e2e_stop
  rm -rf "$E2E_DIR"
  if [ "$E2E_FAILURES" -gt 0 ]; then echo "$E2E_FAILURES check(s) failed"; exit 1; fi
  echo "all checks passed"
  exit 0
}

e2e_shot() { import -window root "$E2E_SHOTS/$1.png"; echo "$E2E_SHOTS/$1.png"; }

# The colour of one pixel of a screenshot as RRGGBB.
e2e_pixel() {
  convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | tail -1 | grep -o '#[0-9A-Fa-f]\{6\}' | tr -d '#' | tr a-f A-F
}

# How many pixels of a column (x) or row (y) of a screenshot have the colour RRGGBB.
e2e_count_column() {
  convert "$1" -crop "1x+$2+0" +repage -depth 8 txt:- | grep -ci "#$3" || true
}
e2e_count_row() {
  convert "$1" -crop "x1+0+$2" +repage -depth 8 txt:- | grep -ci "#$3" || true
}

e2e_screen_size() { xdpyinfo | awk '/dimensions:/ {print $2}'; }

trap 'e2e_stop; rm -rf "$E2E_DIR"' EXIT
