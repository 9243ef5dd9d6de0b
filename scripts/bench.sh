#!/usr/bin/env bash
# Builds the benchmark exe and runs it once under Wine, printing its tables.
# An argument runs only the sections whose name contains it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/bits.sh
build=$(lumek_configure_runnable_build "$root")
if ! log=$(cmake --build "$build" --target lumek_bench -j2 2>&1); then
  echo "$log"
  exit 1
fi

export LUMEK_BUILD_DIR="$root/$build"
source scripts/wine-env.sh
# The process sections start LUMEK.exe from private copies of the package
# folder (its exit writes LUMEK.ini there), one with the heartbeat off like
# the references, one with it on; and the minimal window program.
package=$(mktemp -d "$root/$build/bench-package.XXXXXX")
heartbeat_package=$(mktemp -d "$root/$build/bench-package-beat.XXXXXX")
mover=$(mktemp -d "$root/$build/bench-mover.XXXXXX")
mover_pid=
stop_mover() { if [ -n "$mover_pid" ]; then kill "$mover_pid" 2>/dev/null || true; wait "$mover_pid" 2>/dev/null || true; fi; }
# Whatever the run started ends with it, also after a failure or an interrupt:
# the pointer mover, the prefix's Wine server with every program of it, then the display.
bench_cleanup() {
  stop_mover
  wineserver -k >/dev/null 2>&1 || true
  lumek_stop_display
  rm -rf "$package" "$heartbeat_package" "$mover"
}
trap bench_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
lumek_ensure_display
lumek_ensure_wine
cp "$build"/dist/Lumek/* "$package/"
cp "$build"/dist/Lumek/* "$heartbeat_package/"
printf '[SET]\r\nSOUND=0\r\n' > "$package/LUMEK.ini"
printf '[SET]\r\nSOUND=1\r\n' > "$heartbeat_package/LUMEK.ini"
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }
export LUMEK_BENCH_PACKAGE=$(windows_path "$package")
export LUMEK_BENCH_PACKAGE_HEARTBEAT=$(windows_path "$heartbeat_package")
export LUMEK_BENCH_MINIMAL=$(windows_path "$root/$build/bench/lumek_minimal_window.exe")
export LUMEK_BENCH_REFERENCE=$(windows_path "$root/$build/bench/lumek_reference.exe")
export LUMEK_BENCH_REFERENCE_POLL=$(windows_path "$root/$build/bench/lumek_reference_poll.exe")

# The pointer moves as a device moves it: the bench writes xdotool's
# arguments to $mover/request; this loop runs them and deletes the request.
# Its wait between looks is a timed read, so the loop itself costs next to nothing.
mkfifo "$mover/idle"
(
  exec 3<>"$mover/idle"
  while :; do
    if [ -f "$mover/request" ]; then
      xargs xdotool < "$mover/request" >/dev/null 2>&1 || true
      rm -f "$mover/request"
    fi
    read -r -t 0.02 -u 3 _ || true
  done
) &
mover_pid=$!
export LUMEK_BENCH_MOVER=$(windows_path "$mover")
# Start-up is timed with a warm wineserver, as a user's second start would be.
wine "$build"/bench/lumek_minimal_window.exe >/dev/null 2>&1 &
warm=$!
sleep 3
kill "$warm" 2>/dev/null || true
wait "$warm" 2>/dev/null || true
wine "$build"/bench/lumek_bench.exe "$@"
