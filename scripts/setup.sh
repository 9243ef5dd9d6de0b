#!/usr/bin/env bash
# Installs everything Lumek's build and tests need on a fresh Debian 12 machine.
# Idempotent: packages already present are skipped, so a second run costs seconds.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(
  cmake make g++-mingw-w64-i686 mingw-w64-i686-dev googletest
  # The 64-bit build the tests run where the kernel refuses 32-bit programs.
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32:i386 xvfb xdotool x11-utils imagemagick
  fonts-ipafont-gothic locales zip python3
  # A desktop has a window manager; Wine sees several monitors only through
  # the X server's Xinerama or RandR and only with the 32-bit client libraries.
  openbox x11-xserver-utils xserver-xephyr libxrandr2:i386 libxinerama1:i386
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

# A mirror caught mid-sync serves an index that does not match its release
# file; a later try usually gets a consistent one.
update_package_lists() {
  local try
  for try in 1 2 3; do
    if $SUDO apt-get update -qq; then return 0; fi
    echo "setup: apt-get update failed (try $try of 3)" >&2
    sleep $((try * 10))
  done
  echo "setup: going on with the package lists apt has" >&2
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  update_package_lists
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [ -n "${need_update:-}" ]; then
  update_package_lists
fi

# Wine must run with code page 932, which needs the ja_JP.UTF-8 locale generated.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi

echo "setup: done"
