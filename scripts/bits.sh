# Sourced by the scripts that build or run Lumek. Lumek is a 32-bit program,
# run by 32-bit Wine; a kernel booted without 32-bit emulation refuses Wine's
# 32-bit loader, and there the bench builds the same sources for 64-bit
# Windows and runs that build under 64-bit Wine.

# The kernel itself is asked, with a static 32-bit program of 91 bytes that
# only exits: it needs no library, so a machine not yet set up answers too,
# and a kernel without 32-bit emulation refuses it ("Exec format error").
lumek_can_run_32bit() {
  local probe rc=0
  probe=$(mktemp "${TMPDIR:-/tmp}/lumek-probe32.XXXXXX") || return 1
  {
    # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054.
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0'
    printf '\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0'
    # One loadable segment, the whole file at 0x08048000, readable and executable.
    printf '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\133\0\0\0\133\0\0\0\5\0\0\0\0\20\0\0'
    # xor ebx, ebx; xor eax, eax; inc eax; int 0x80: exit(0).
    printf '\61\333\61\300\100\315\200'
  } >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=1
  rm -f "$probe"
  return $rc
}

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
