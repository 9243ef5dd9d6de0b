# Sourced by the scripts that run Windows programs: one private Wine prefix
# under the build folder, Japanese locale (code page 932), no debug noise.
: "${LUMEK_BUILD_DIR:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
export LUMEK_BUILD_DIR
# Under ctest with the desktops of lumek_start_desktops, a test runs on the
# desktop ctest handed it ("id:N,slots:1"); a desktop of given monitors
# (LUMEK_SCREENS) is the test's own instead.
if [ -n "${CTEST_RESOURCE_GROUP_0_DESKTOP:-}" ] && [ -z "${LUMEK_SCREENS:-}" ]; then
  _lumek_desktop=${CTEST_RESOURCE_GROUP_0_DESKTOP#id:}
  _lumek_desktop=${_lumek_desktop%%,*}
  eval "DISPLAY=\${LUMEK_DESKTOP_${_lumek_desktop}_DISPLAY:-} WINEPREFIX_LUMEK=\${LUMEK_DESKTOP_${_lumek_desktop}_WINEPREFIX:-}"
  export DISPLAY WINEPREFIX_LUMEK
fi
export WINEPREFIX="${WINEPREFIX_LUMEK:-$LUMEK_BUILD_DIR/wineprefix}"

source "$(dirname "${BASH_SOURCE[0]}")/bits.sh"
if [ -z "${LUMEK_WINE_BITS:-}" ]; then
  if lumek_can_run_32bit; then LUMEK_WINE_BITS=32; else LUMEK_WINE_BITS=64; fi
fi
export LUMEK_WINE_BITS
if [ "$LUMEK_WINE_BITS" = 64 ]; then
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  # Debian's wine and wine-stable start the 32-bit loader whenever it is
  # installed, even for a 64-bit exe: every script's "wine" is the 64-bit one.
  mkdir -p "$LUMEK_BUILD_DIR/bench-bin"
  for _lumek_name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' > "$LUMEK_BUILD_DIR/bench-bin/$_lumek_name"
    chmod +x "$LUMEK_BUILD_DIR/bench-bin/$_lumek_name"
  done
  case ":$PATH:" in *":$LUMEK_BUILD_DIR/bench-bin:"*) ;; *) export PATH="$LUMEK_BUILD_DIR/bench-bin:$PATH" ;; esac
else
  export WINEARCH=win32
fi
export WINEDEBUG=-all
# Wine and the programs it starts read the locale; the shell itself does not
# need it. A shell that looked for a locale before set-up generated it keeps
# that failure for its whole life and would warn here although the locale now
# exists, so its own warning is dropped and the system is asked instead.
export LC_ALL=ja_JP.UTF-8 2>/dev/null
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  echo "the ja_JP.UTF-8 locale is missing: run scripts/setup.sh" >&2
fi
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# A machine without a sound card (the bench's) plays into ALSA's null device,
# so the heartbeat's sounds really play and no program prints ALSA's errors
# about a missing card. A machine that has a card keeps its own set-up.
if ! grep -qs '^ *[0-9]' /proc/asound/cards; then
  mkdir -p "$LUMEK_BUILD_DIR"
  printf '</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n' > "$LUMEK_BUILD_DIR/bench-asound.conf"
  export ALSA_CONFIG_PATH="$LUMEK_BUILD_DIR/bench-asound.conf"
fi

# The desktop the bench runs on. By default one screen (LUMEK_SCREEN, e.g.
# 1280x800x24); LUMEK_SCREENS="1024x768 800x1000" asks for several monitors
# side by side, which Wine sees only through Xinerama: Xephyr shows them,
# nested in a host Xvfb large enough to hold them all.
: "${LUMEK_SCREEN:=1280x800x24}"
export LUMEK_SCREEN

# A Wine desktop stays on the display it first started on: one prefix per kind of desktop.
if [ -z "${WINEPREFIX_LUMEK:-}" ] && [ -n "${LUMEK_SCREENS:-}" ]; then
  WINEPREFIX="$LUMEK_BUILD_DIR/wineprefix-$(echo "$LUMEK_SCREENS" | tr ' ' '_')"
  export WINEPREFIX
fi

# The processes lumek_ensure_display started, last first; lumek_stop_display ends them.
LUMEK_DISPLAY_PIDS=""

_lumek_free_display() {
  local n
  for n in $(seq "$1" $(($1 + 60))); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then echo "$n"; return 0; fi
  done
  return 1
}

# Starts an X server (the command and its options, without a display) on the
# first free display number from $1 and exports DISPLAY. Only this server
# writes to its -displayfd, once it takes connections: a number another
# bench took at the same moment makes it fail, and the next one is tried.
_lumek_start_x() {
  local n=$1 ready pid i attempt
  shift
  ready=$(mktemp)
  for attempt in 1 2 3 4 5; do
    n=$(_lumek_free_display "$n") || break
    "$@" ":$n" -displayfd 3 3>"$ready" >/dev/null 2>&1 &
    pid=$!
    for i in $(seq 1 300); do
      [ -s "$ready" ] && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -s "$ready" ]; then
      LUMEK_DISPLAY_PIDS="$pid $LUMEK_DISPLAY_PIDS"
      rm -f "$ready"
      export DISPLAY=":$n"
      return 0
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    n=$((n + 1))
  done
  rm -f "$ready"
  echo "no X server came up ($*)" >&2
  return 1
}

# True when a window manager has announced itself on $DISPLAY.
lumek_window_manager_up() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# Every desktop has a window manager: without one, Wine waits seconds for
# answers about the windows it hands over. Starts openbox unless one runs.
lumek_ensure_window_manager() {
  lumek_window_manager_up && return 0
  local manager attempt i
  # An openbox that ended without announcing itself is started once more.
  for attempt in 1 2; do
    openbox --sm-disable >/dev/null 2>&1 &
    manager=$!
    LUMEK_DISPLAY_PIDS="$manager $LUMEK_DISPLAY_PIDS"
    for i in $(seq 1 150); do
      lumek_window_manager_up && return 0
      kill -0 "$manager" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "openbox did not come up on $DISPLAY" >&2
  return 1
}

# Makes $DISPLAY a usable desktop with a window manager: the one given, or a
# private one (one screen, or the monitors of LUMEK_SCREENS).
lumek_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    lumek_ensure_window_manager
    return
  fi
  if [ -z "${LUMEK_SCREENS:-}" ]; then
    _lumek_start_x "${LUMEK_DISPLAY_BASE:-90}" Xvfb -screen 0 "$LUMEK_SCREEN" -nolisten tcp || return 1
  else
    local width=0 height=0 screen w h
    local xephyr_screens=()
    for screen in $LUMEK_SCREENS; do
      w=${screen%%x*}; h=${screen#*x}; h=${h%%x*}
      width=$((width + w)); [ "$h" -gt "$height" ] && height=$h
      xephyr_screens+=(-screen "${w}x${h}")
    done
    _lumek_start_x "${LUMEK_DISPLAY_BASE:-90}" Xvfb -screen 0 "${width}x${height}x24" -nolisten tcp || return 1
    _lumek_start_x $((${DISPLAY#:} + 1)) Xephyr "${xephyr_screens[@]}" +xinerama -extension RANDR -nolisten tcp ||
      return 1
  fi
  lumek_ensure_window_manager
}

# Ends what lumek_ensure_display started: the manager, then the servers.
lumek_stop_display() {
  local pid i
  for pid in $LUMEK_DISPLAY_PIDS; do kill "$pid" 2>/dev/null || true; done
  # Gone before this returns: nothing of the bench outlives its command.
  for pid in $LUMEK_DISPLAY_PIDS; do
    wait "$pid" 2>/dev/null || true
    for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  LUMEK_DISPLAY_PIDS=""
}

# A persistent wineserver keeps every later wine start fast; wineboot makes the
# prefix once. Wine's own services (services.exe, rpcss, plugplay...) outlive
# the program that starts them and keep its descriptors: started by a test
# exe they would hold ctest's output pipe open until its time-out, so they are
# started here, on a reused prefix too, with every descriptor on /dev/null.
lumek_ensure_wine() {
  if ! _lumek_prefix_whole "$WINEPREFIX"; then
    # What a run cut short left of a prefix is no use to the next one.
    rm -rf "$WINEPREFIX"
    _lumek_prefix_from_template "$WINEPREFIX" || true
  fi
  mkdir -p "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1 || true
  if ! _lumek_prefix_whole "$WINEPREFIX"; then
    wineboot -i </dev/null >/dev/null 2>&1 || true
    _lumek_no_crash_debugger
  else
    wineboot </dev/null >/dev/null 2>&1 || true
  fi
  return 0
}

# A prefix is whole once Wine has written its registry and its system
# folder; a prefix made by a copy appears all at once.
_lumek_prefix_whole() {
  [ -f "$1/system.reg" ] && [ -f "$1/drive_c/windows/system32/kernel32.dll" ]
}

# Wine starts its debugger on a program that crashes, and under the bench
# the two then wait on each other until ctest's time-out. Named a debugger
# that does not exist (without one Wine takes its own), Wine ends the program
# at once, after its line naming the fault.
_lumek_no_crash_debugger() {
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'no-debugger-on-the-bench.exe' \
    /f </dev/null >/dev/null 2>&1 || true
}

# A new prefix takes Wine ten seconds and 600 MB of writes, and every clone
# and desktop needs its own: the machine keeps one made prefix per Wine
# version and kind, and new prefixes are copies of it. Its program images are
# shared as hard links (Wine only reads them); every other file, which Wine
# may rewrite in place, is a copy of its own.
LUMEK_WINE_TEMPLATES=${LUMEK_WINE_TEMPLATES:-${XDG_CACHE_HOME:-$HOME/.cache}/lumek}
_lumek_prefix_from_template() {
  local prefix=$1 version template
  version=$(wine --version 2>/dev/null | tr -cs 'A-Za-z0-9.' -)
  template="$LUMEK_WINE_TEMPLATES/wineprefix-$WINEARCH-${version%-}"
  mkdir -p "$LUMEK_WINE_TEMPLATES" || return 1
  (
    flock 9
    [ -d "$template" ] && exit 0
    rm -rf "$template.new"
    mkdir -p "$template.new"
    WINEPREFIX="$template.new" wineboot -i </dev/null >/dev/null 2>&1
    WINEPREFIX="$template.new" _lumek_no_crash_debugger
    WINEPREFIX="$template.new" wineserver -w
    _lumek_prefix_whole "$template.new" && mv "$template.new" "$template"
  ) 9>"$template.lock"
  [ -d "$template" ] || return 1
  rm -rf "$prefix.new"
  cp -al "$template" "$prefix.new" &&
    (cd "$template" && find . -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' \
      -o -iname '*.nls' -o -iname '*.vxd' -o -iname '*.ocx' -o -iname '*.acm' -o -iname '*.cpl' -o -iname '*.tlb' \
      -o -iname '*.ax' -o -iname '*.ds' -o -iname '*.ttf' -o -iname '*.ttc' -o -iname '*.msstyles' \) -print0) |
    (cd "$template" && xargs -0 -r cp -p --remove-destination --parents -t "$prefix.new") &&
    mv "$prefix.new" "$prefix"
}

# A second private desktop with a prefix of its own, for the test exes: they
# run beside the end-to-end scripts without their windows or pointer moves
# reaching the scripts' screenshots. Exports LUMEK_UNIT_DISPLAY and
# LUMEK_UNIT_WINEPREFIX, which wine-run.sh takes up; its processes join
# LUMEK_DISPLAY_PIDS. DISPLAY and WINEPREFIX stay as they were.
lumek_start_unit_desktop() {
  local display=${DISPLAY:-} prefix=$WINEPREFIX rc=0
  unset DISPLAY
  export WINEPREFIX="$LUMEK_BUILD_DIR/wineprefix-unit"
  lumek_ensure_display && lumek_ensure_wine || rc=$?
  export LUMEK_UNIT_DISPLAY=${DISPLAY:-} LUMEK_UNIT_WINEPREFIX=$WINEPREFIX
  export WINEPREFIX=$prefix
  if [ -n "$display" ]; then export DISPLAY=$display; else unset DISPLAY; fi
  return $rc
}

# The desktops ctest hands out, one test at a time on each: $1 displays, each
# with its window manager and a Wine prefix of its own, so that tests on two
# desktops share no screen, pointer, tray, prefix or Wine server. Exports
# LUMEK_DESKTOP_<n>_DISPLAY and LUMEK_DESKTOP_<n>_WINEPREFIX and writes the
# file for ctest --resource-spec-file to LUMEK_DESKTOPS_SPEC. The prefixes
# start in the background (a new one takes seconds); lumek_desktops_ready
# waits for them. DISPLAY and WINEPREFIX stay as they were.
LUMEK_DESKTOP_PREFIXES=""
LUMEK_DESKTOP_BOOTS=""
lumek_start_desktops() {
  local count=$1 i slots="" display=${DISPLAY:-} prefix
  export LUMEK_DESKTOPS_SPEC="$LUMEK_BUILD_DIR/desktops.json"
  rm -f "$LUMEK_DESKTOPS_SPEC"
  for ((i = 0; i < count; i++)); do
    unset DISPLAY
    lumek_ensure_display || return 1
    prefix="$LUMEK_BUILD_DIR/wineprefix-desktop$i"
    export "LUMEK_DESKTOP_${i}_DISPLAY=$DISPLAY" "LUMEK_DESKTOP_${i}_WINEPREFIX=$prefix"
    LUMEK_DESKTOP_PREFIXES="$LUMEK_DESKTOP_PREFIXES $prefix"
    (export WINEPREFIX=$prefix && lumek_ensure_wine) &
    LUMEK_DESKTOP_BOOTS="$LUMEK_DESKTOP_BOOTS $!"
    slots="$slots${slots:+, }{\"id\": \"$i\", \"slots\": 1}"
  done
  if [ -n "$display" ]; then export DISPLAY=$display; else unset DISPLAY; fi
  printf '{"version": {"major": 1, "minor": 0}, "local": [{"desktop": [%s]}]}\n' "$slots" > "$LUMEK_DESKTOPS_SPEC"
}

lumek_desktops_ready() {
  local boot
  for boot in $LUMEK_DESKTOP_BOOTS; do wait "$boot" || return 1; done
  LUMEK_DESKTOP_BOOTS=""
}

# Ends everything lumek_start_desktops started: its Wine servers (with every
# program of their prefixes) and its displays.
lumek_stop_desktops() {
  local boot prefix
  for boot in $LUMEK_DESKTOP_BOOTS; do kill "$boot" 2>/dev/null || true; done
  for boot in $LUMEK_DESKTOP_BOOTS; do wait "$boot" 2>/dev/null || true; done
  LUMEK_DESKTOP_BOOTS=""
  for prefix in $LUMEK_DESKTOP_PREFIXES; do WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; done
  LUMEK_DESKTOP_PREFIXES=""
  lumek_stop_display
}
