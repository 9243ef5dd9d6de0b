#!/usr/bin/env bash
# Sets up the machine, builds Lumek and its tests, and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi
cmake -S . -B build -DLUMEK_WERROR=$werror >/dev/null
cmake --build build -j2
cmake --build build --target lumek_bench -j2 >/dev/null 2>&1 || true

export LUMEK_BUILD_DIR="$root/build"
source scripts/wine-env.sh
lumek_ensure_display
lumek_ensure_wine
export LUMEK_WINESERVER_READY=1
set +e
ctest --test-dir build --output-on-failure --timeout 1500
rc=$?
set -e
wineserver -k >/dev/null 2>&1 || true
lumek_stop_display
exit $rc
