#!/usr/bin/env bash
# Builds the benchmark exe and runs it once under Wine, printing its tables.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake -S . -B build >/dev/null
if ! log=$(cmake --build build --target lumek_bench -j2 2>&1); then
  echo "$log"
  exit 1
fi

export LUMEK_BUILD_DIR="$root/build"
source scripts/wine-env.sh
lumek_ensure_display
lumek_ensure_wine
wine build/bench/lumek_bench.exe
