# Sourced by the scripts that run Windows programs: one private Wine prefix
# under the build folder, Japanese locale (code page 932), no debug noise.
: "${LUMEK_BUILD_DIR:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
export LUMEK_BUILD_DIR
export WINEPREFIX="${WINEPREFIX_LUMEK:-$LUMEK_BUILD_DIR/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Starts a private Xvfb unless a display is already usable. Sets LUMEK_XVFB_PID when it starts one.
lumek_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
  done
  Xvfb ":$n" -screen 0 "${LUMEK_SCREEN:-1280x800x24}" -nolisten tcp >/dev/null 2>&1 &
  LUMEK_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

# A persistent wineserver keeps every later wine start fast; wineboot makes the prefix once.
lumek_ensure_wine() {
  mkdir -p "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
  fi
  # Wine: with no window manager on the display, hiding or destroying a window
  # that Wine hands to the manager waits 2 s for an answer that never comes.
  # The app tests make a thousand main forms, so their windows stay unmanaged;
  # LUMEK.exe itself keeps the default the end-to-end tests look at.
  if [ ! -f "$WINEPREFIX/.lumek-unmanaged-tests" ]; then
    wine reg add 'HKCU\Software\Wine\AppDefaults\app_tests.exe\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 &&
      touch "$WINEPREFIX/.lumek-unmanaged-tests"
  fi
  return 0
}
