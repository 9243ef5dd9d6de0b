#!/usr/bin/env bash
# Installs everything Lumek's build and tests need on a fresh Debian 12 machine.
# Idempotent: packages already present are skipped, so a second run costs seconds.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(
  cmake make g++-mingw-w64-i686 mingw-w64-i686-dev googletest
  wine wine32:i386 xvfb xdotool x11-utils imagemagick
  fonts-ipafont-gothic locales zip python3
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

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [ -n "${need_update:-}" ]; then
  $SUDO apt-get update -qq
fi

# Wine must run with code page 932, which needs the ja_JP.UTF-8 locale generated.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi

# The posix thread model is what std::thread and friends need.
if [ -x /usr/bin/i686-w64-mingw32-g++-posix ]; then
  current=$(readlink -f /usr/bin/i686-w64-mingw32-g++ 2>/dev/null || true)
  case "$current" in *posix*) ;; *) : ;; esac
fi
echo "setup: done"
