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
# The process sections start LUMEK.exe from a private copy of the package
# folder (its exit writes LUMEK.ini there) and the minimal window program.
package=$(mktemp -d "$root/$build/bench-package.XXXXXX")
# Whatever the run started ends with it, also after a failure or an interrupt:
# the prefix's Wine server with every program of it, then the display.
bench_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  lumek_stop_display
  rm -rf "$package"
}
trap bench_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
lumek_ensure_display
lumek_ensure_wine
cp "$build"/dist/Lumek/* "$package/"
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }
export LUMEK_BENCH_PACKAGE=$(windows_path "$package")
export LUMEK_BENCH_MINIMAL=$(windows_path "$root/$build/bench/lumek_minimal_window.exe")
export LUMEK_BENCH_REFERENCE=$(windows_path "$root/$build/bench/lumek_reference.exe")
# Start-up is timed with a warm wineserver, as a user's second start would be.
wine "$build"/bench/lumek_minimal_window.exe >/dev/null 2>&1 &
warm=$!
sleep 3
kill "$warm" 2>/dev/null || true
wait "$warm" 2>/dev/null || true
wine "$build"/bench/lumek_bench.exe "$@"
