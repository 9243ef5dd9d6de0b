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
E2E_HELPERS=""
E2E_FAILURES=0

e2e_fail() { echo "FAIL: $*"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
e2e_pass() { echo "ok: $*"; }

e2e_start() {
  (cd "$E2E_DIR" && exec wine LUMEK.exe >/dev/null 2>&1) &
  E2E_PID=$!
  wine "$E2E_CTL" wait-app 30 || { e2e_fail "Lumek did not start"; return 1; }
  # Started means settled: a line mapped and the application window
  # unmapped again. Wine maps and unmaps X windows some time after the calls.
  local i
  for i in $(seq 1 100); do
    if e2e_window_viewable '"[XY]Form1"' && ! e2e_window_viewable '"Lumek": \("lumek.exe"'; then
      return 0
    fi
    sleep 0.1
  done
  e2e_fail "Lumek did not settle: lines shown and application window hidden"
  return 1
}

# True when an X window whose tree line matches the pattern is mapped and viewable.
e2e_window_viewable() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | grep -E "$1" | awk '{print $1}'); do
    xwininfo -id "$id" 2>/dev/null | grep -q "IsViewable" && return 0
  done
  return 1
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

# Helper processes a test started in the background; stopped with Lumek.
e2e_own_process() { E2E_HELPERS="$E2E_HELPERS $1"; }
# Waits for such a helper and forgets it (its id may be reused later).
e2e_wait_helper() {
  local status=0
  wait "$1" || status=$?
  E2E_HELPERS=$(echo " $E2E_HELPERS " | sed "s/ $1 / /")
  return $status
}

e2e_stop() {
  local helper
  for helper in $E2E_HELPERS; do kill "$helper" 2>/dev/null || true; done
  E2E_HELPERS=""
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

# How many pixels of a region (WxH+X+Y) of a screenshot are darker than the threshold (percent).
e2e_dark_pixels() {
  convert "$1" -crop "$2" +repage -colorspace Gray -threshold "${3:-50}%" -depth 8 txt:- | grep -c '#000000' || true
}

e2e_screen_size() { xdpyinfo | awk '/dimensions:/ {print $2}'; }

# The Windows process of this test's Lumek: the wine process whose working
# folder is this test's private copy (other benches may run their own Lumek).
e2e_lumek_pid() {
  local pid
  for pid in $(pgrep -x LUMEK.exe); do
    [ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" = "$E2E_DIR" ] && { echo "$pid"; return 0; }
  done
  return 1
}

# The settings file in the form Lumek writes it after a close with these values
# (the eighth, ALLSCREENS, is 0 when not given).
e2e_settings_text() {
  printf '[SET]\r\nXVISIBLE=%s\r\nYVISIBLE=%s\r\nWARP=%s\r\nXYCOLOR=%s\r\nXYBOLD=%s\r\nSOUND=%s\r\nSPEED=%s\r\nALLSCREENS=%s\r\n' \
    "$1" "$2" "$3" "$4" "$5" "$6" "$7" "${8:-0}"
}

# Compares LUMEK.ini byte for byte with e2e_settings_text of the arguments.
e2e_check_settings() {
  local label=$1; shift
  if cmp -s <(e2e_settings_text "$@") "$E2E_DIR/LUMEK.ini"; then
    e2e_pass "$label: LUMEK.ini holds $*"
  else
    e2e_fail "$label: LUMEK.ini is not $*: $(od -c "$E2E_DIR/LUMEK.ini" 2>&1 | head -8 | tr '\n' ' ')"
  fi
}

# --- windows on the X side -------------------------------------------------

# "ID WxH+X+Y" (absolute position) of every viewable window whose tree line
# matches the pattern, at any depth: a window manager reparents the windows
# it manages into frames of its own, wherever it puts them.
e2e_viewable_windows() {
  local id
  for id in $(xwininfo -root -tree | grep -E '^ +0x' | grep -E "$1" | awk '{print $1}'); do
    xwininfo -id "$id" 2>/dev/null | awk -v id="$id" '
      /Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
      /Width:/ {w=$2} /Height:/ {h=$2} /IsViewable/ {v=1}
      END {if (v) printf "%s %dx%d+%d+%d\n", id, w, h, x, y}'
  done
}

# Lumek's unnamed pop-ups: menus (the hidden main form is never viewable).
E2E_POPUP_PATTERN='\(has no name\): \("lumek.exe" "lumek.exe"\)'

# Waits up to $2 seconds for a viewable window matching $1 that is not among
# the ids in $3; sets E2E_NEW to "ID W H X Y".
e2e_wait_new_window() {
  local pattern=$1 seconds=$2 known=$3 i line
  E2E_NEW=""
  for i in $(seq 1 $((seconds * 5))); do
    while read -r line; do
      [ -n "$line" ] || continue
      case " $known " in *" ${line%% *} "*) continue ;; esac
      E2E_NEW=$(echo "$line" | sed -E 's/^([^ ]+) ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+)$/\1 \2 \3 \4 \5/')
      return 0
    done < <(e2e_viewable_windows "$pattern")
    sleep 0.2
  done
  return 1
}

e2e_window_ids() { e2e_viewable_windows "$1" | awk '{printf "%s ", $1}'; }

# Waits until the window id $1 is no longer viewable.
e2e_window_gone() {
  ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable
}

# Real pointer input: moves there, lets Wine see the move, then clicks.
e2e_click() {
  xdotool mousemove "$1" "$2"
  sleep 0.3
  xdotool click "${3:-1}"
}

# Centre of the tray icon number $1 (0 first) in Wine's "Wine System Tray"
# window, vertically centred. Wine gives each icon a 20 px slot from the
# window's left edge (the 16 px icon and a 2 px border on each side).
# Sets E2E_ICON_X and E2E_ICON_Y.
E2E_TRAY_SLOT=20
e2e_tray_icon() {
  local tray
  tray=$(e2e_viewable_windows '"Wine System Tray"' | head -1)
  [ -n "$tray" ] || return 1
  local geometry=${tray#* } w h x y
  w=${geometry%%x*}; geometry=${geometry#*x}
  h=${geometry%%+*}; geometry=${geometry#*+}
  x=${geometry%%+*}; y=${geometry#*+}
  [ "$w" -ge $((E2E_TRAY_SLOT * (${1:-0} + 1))) ] || return 1
  E2E_ICON_X=$((x + E2E_TRAY_SLOT * ${1:-0} + E2E_TRAY_SLOT / 2))
  E2E_ICON_Y=$((y + h / 2))
}

# How many colours the 16 x 16 icon square of tray slot $2 holds in a
# screenshot $1 (1 for an empty slot). Keep the crosshair away from the tray.
e2e_tray_slot_colours() {
  e2e_tray_icon "$2" || { echo 0; return; }
  convert "$1" -crop "16x16+$((E2E_ICON_X - 8))+$((E2E_ICON_Y - 8))" +repage -unique-colors txt:- | grep -c '^[0-9]'
}

# True once a fresh screenshot shows an icon in tray slot $1 (the shell may
# take a while to show an icon added while it started).
e2e_tray_icon_drawn() {
  local shot
  shot=$(e2e_shot tray-slot)
  [ "$(e2e_tray_slot_colours "$shot" "$1")" -ge 3 ]
}

# --- Lumek's tray menu -------------------------------------------------------
# Wine draws menus with a 3 px frame, 17 px text rows and 9 px separators
# under the bench's Japanese font. T is a text row, - a separator.
E2E_MENU_FRAME=3
E2E_MENU_ROW=17
E2E_MENU_SEPARATOR=9
E2E_MENU_LAYOUT='T-TT-TTT-T-TT-T'
# Top-level items, by index.
E2E_ITEM_CLOSE=0 E2E_ITEM_DISPLAY=2 E2E_ITEM_WARP=3 E2E_ITEM_COLOR=5 E2E_ITEM_THICKNESS=6
E2E_ITEM_SPEED=7 E2E_ITEM_SOUND=9 E2E_ITEM_GUIDE=11 E2E_ITEM_INFO=12 E2E_ITEM_EXIT=14

# The height a menu of this layout has.
e2e_menu_height() {
  local layout=$1 height=$((2 * E2E_MENU_FRAME)) i
  for ((i = 0; i < ${#layout}; i++)); do
    [ "${layout:i:1}" = "-" ] && height=$((height + E2E_MENU_SEPARATOR)) || height=$((height + E2E_MENU_ROW))
  done
  echo "$height"
}

# The y of the middle of item $3 of a menu with layout $2 whose top is at $1.
e2e_menu_item_y() {
  local top=$1 layout=$2 index=$3 y=$(($1 + E2E_MENU_FRAME)) i
  for ((i = 0; i < index; i++)); do
    [ "${layout:i:1}" = "-" ] && y=$((y + E2E_MENU_SEPARATOR)) || y=$((y + E2E_MENU_ROW))
  done
  [ "${layout:index:1}" = "-" ] && echo $((y + E2E_MENU_SEPARATOR / 2)) || echo $((y + E2E_MENU_ROW / 2))
}

# Opens Lumek's tray menu with a real right-click on the icon. Sets E2E_MENU
# to "ID W H X Y" of the menu window.
e2e_open_menu() {
  local known
  known=$(e2e_window_ids "$E2E_POPUP_PATTERN")
  e2e_eventually 20 e2e_tray_icon_drawn 0 || { e2e_fail "no icon in the tray window"; return 1; }
  e2e_tray_icon 0
  e2e_click "$E2E_ICON_X" "$E2E_ICON_Y" 3
  if ! e2e_wait_new_window "$E2E_POPUP_PATTERN" 10 "$known"; then
    e2e_fail "a right-click on the icon opened no menu"
    return 1
  fi
  E2E_MENU=$E2E_NEW
}

# Clicks item $1 of the open top-level menu.
e2e_menu_click() {
  local id w h x y
  read -r id w h x y <<< "$E2E_MENU"
  e2e_click $((x + 40)) "$(e2e_menu_item_y "$y" "$E2E_MENU_LAYOUT" "$1")"
  e2e_eventually 10 e2e_window_gone "$id" || e2e_fail "the menu stayed open after a click at item $1"
}

# Opens submenu item $1 of the open menu by hovering it, then clicks its
# item $2 (submenus hold text rows only).
e2e_submenu_click() {
  local id w h x y known
  read -r id w h x y <<< "$E2E_MENU"
  known=$(e2e_window_ids "$E2E_POPUP_PATTERN")
  xdotool mousemove $((x + 40)) "$(e2e_menu_item_y "$y" "$E2E_MENU_LAYOUT" "$1")"
  if ! e2e_wait_new_window "$E2E_POPUP_PATTERN" 10 "$known"; then
    e2e_fail "hovering item $1 opened no submenu"
    return 1
  fi
  local sid sw sh sx sy
  read -r sid sw sh sx sy <<< "$E2E_NEW"
  local row
  row=$(e2e_menu_item_y "$sy" "TTTT" "$2")
  # Along the parent's row into the submenu first, so the pointer never crosses another parent item.
  xdotool mousemove $((sx + 20)) "$(e2e_menu_item_y "$y" "$E2E_MENU_LAYOUT" "$1")"
  sleep 0.3
  e2e_click $((sx + 20)) "$row"
  e2e_eventually 10 e2e_window_gone "$id" || e2e_fail "the menu stayed open after choosing $1/$2"
}

# True when item $2 of the open menu shows a check mark in screenshot $1.
e2e_menu_checked() {
  local id w h x y row
  read -r id w h x y <<< "$E2E_MENU"
  row=$(e2e_menu_item_y "$y" "$E2E_MENU_LAYOUT" "$2")
  [ "$(e2e_dark_pixels "$1" "16x$((E2E_MENU_ROW - 2))+$x+$((row - E2E_MENU_ROW / 2 + 1))")" -ge 6 ]
}

# Opens the menu, chooses item $1 (and submenu item $2 if given).
e2e_menu_choose() {
  e2e_open_menu || return 1
  if [ $# -ge 2 ]; then e2e_submenu_click "$1" "$2"; else e2e_menu_click "$1"; fi
  # The line windows follow a command after a tick or two; Wine maps them later still.
  sleep 0.5
}

# The next session after a logoff. The old session's Wine server may still be
# ending that session's programs when the next one starts (a Lumek started
# right after a logoff was seen killed): it is ended first, then the prefix
# starts anew.
e2e_new_session() {
  wineserver -k >/dev/null 2>&1 || true
  lumek_ensure_wine
}

e2e_cleanup() {
  e2e_stop
  rm -rf "$E2E_DIR"
  # A test on a desktop of its own also has a Wine prefix and server of its own.
  [ -z "${LUMEK_SCREENS:-}" ] || wineserver -k >/dev/null 2>&1 || true
  lumek_stop_display
}
trap e2e_cleanup EXIT
# A timeout's signal ends the test through its exit, so the clean-up runs.
trap 'exit 143' TERM INT HUP
