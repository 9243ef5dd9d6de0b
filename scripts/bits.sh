# Sourced by the scripts that build or run Lumek. Lumek is a 32-bit program,
# run by 32-bit Wine; a kernel booted without 32-bit emulation refuses Wine's
# 32-bit loader, and there the bench builds the same sources for 64-bit
# Windows and runs that build under 64-bit Wine.
lumek_can_run_32bit() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

# Configures the build folder whose exes this machine can run and prints its
# name under $1: "build", or "build-x64" with the 64-bit toolchain. The other
# arguments go to cmake.
lumek_configure_runnable_build() {
  local root=$1; shift
  if lumek_can_run_32bit; then
    cmake -S "$root" -B "$root/build" "$@" >/dev/null
    echo build
    return
  fi
  echo "this kernel cannot run 32-bit programs: running the 64-bit build under 64-bit Wine" >&2
  cmake -S "$root" -B "$root/build-x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-w64-mingw32.cmake" "$@" >/dev/null
  echo build-x64
}
