#!/usr/bin/env bash
# Sets up the machine, builds Lumek, its tests and its benchmark, and runs every
# test under Wine. Whatever it starts (displays, window managers, Wine servers)
# has ended when it returns, also after a failure or an interrupt.
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

export LUMEK_BUILD_DIR="$root/$test_build"
source scripts/wine-env.sh
trap lumek_stop_desktops EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
# Each desktop runs one test at a time; tests mostly wait on Wine and X, so
# more desktops than cores keep both cores busy.
desktops=${LUMEK_DESKTOPS:-4}
# The desktops' Wine prefixes start while the build runs.
lumek_start_desktops "$desktops"

# What the end-to-end tests run is built first. The rest (the test exes, and
# the benchmark, which is built, not run) builds inside the run beside them,
# and a change that breaks any of it fails a build test.
if [ "$test_build" != build ]; then
  cmake -S . -B build -DLUMEK_WERROR=$werror >/dev/null
  cmake --build build -j2 --target LUMEK
fi
cmake --build "$test_build" -j2 --target LUMEK lumekctl traydemo

lumek_desktops_ready
export LUMEK_WINESERVER_READY=1
ctest --test-dir "$test_build" --output-on-failure --timeout 1500 -j$((desktops + 1)) \
  --resource-spec-file "$LUMEK_DESKTOPS_SPEC"
