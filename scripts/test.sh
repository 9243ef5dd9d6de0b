#!/usr/bin/env bash
# Sets up the machine, builds Lumek and its tests, and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
source scripts/bits.sh
werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi
cmake -S . -B build -DLUMEK_WERROR=$werror >/dev/null
cmake --build build -j2
cmake --build build --target lumek_bench -j2 >/dev/null 2>&1 || true

# The 32-bit build is what ships and what the tests run. A kernel without
# 32-bit emulation cannot start it: there the same sources are built for
# 64-bit Windows and every test runs that build under 64-bit Wine.
test_build=build
if ! lumek_can_run_32bit; then
  echo "test: this kernel cannot run 32-bit programs; testing the 64-bit build under 64-bit Wine"
  cmake -S . -B build-x64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-w64-mingw32.cmake" -DLUMEK_WERROR=$werror >/dev/null
  cmake --build build-x64 -j2
  test_build=build-x64
fi

export LUMEK_BUILD_DIR="$root/$test_build"
source scripts/wine-env.sh
lumek_ensure_display
lumek_ensure_wine
export LUMEK_WINESERVER_READY=1
set +e
ctest --test-dir "$test_build" --output-on-failure --timeout 1500
rc=$?
set -e
wineserver -k >/dev/null 2>&1 || true
lumek_stop_display
exit $rc
