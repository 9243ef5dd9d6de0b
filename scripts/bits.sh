# Sourced by the scripts that build or run Lumek. Lumek is a 32-bit program,
# run by 32-bit Wine; a kernel booted without 32-bit emulation refuses Wine's
# 32-bit loader, and there the bench builds the same sources for 64-bit
# Windows and runs that build under 64-bit Wine.
lumek_can_run_32bit() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
