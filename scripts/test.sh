#!/usr/bin/env bash
# Sets up the machine, builds Lumek and its tests, and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
source scripts/bits.sh
werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi
# The 32-bit build is what ships, and what the tests run wherever the kernel
# can start it; elsewhere only its package is built beside the 64-bit build
# the tests run.
test_build=$(lumek_configure_runnable_build "$root" -DLUMEK_WERROR=$werror)
if [ "$test_build" = build ]; then
  cmake --build build -j2
  cmake --build build --target lumek_bench -j2 >/dev/null 2>&1 || true
else
  cmake -S . -B build -DLUMEK_WERROR=$werror >/dev/null
  cmake --build build -j2 --target LUMEK
  cmake --build "$test_build" -j2
fi

export LUMEK_BUILD_DIR="$root/$test_build"
source scripts/wine-env.sh
lumek_ensure_display
lumek_ensure_wine
# The test exes get a desktop of their own, so ctest runs them one after
# another beside the end-to-end scripts, which take turns on this one.
lumek_start_unit_desktop
export LUMEK_WINESERVER_READY=1
set +e
ctest --test-dir "$test_build" --output-on-failure --timeout 1500 -j2
rc=$?
set -e
wineserver -k >/dev/null 2>&1 || true
WINEPREFIX=$LUMEK_UNIT_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
lumek_stop_display
exit $rc
