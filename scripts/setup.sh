#!/usr/bin/env bash
# Installs what building, running and testing need, only when it is missing.
# Safe to run again: a machine that has everything installs nothing.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo "$@"; else echo "setup: need root for: $*" >&2; exit 1; fi
  else
    "$@"
  fi
}

# Both programs are built on every machine, and the setup program with NSIS;
# Wine for the one that runs here:
# 32-bit Wine needs the i386 architecture, 64-bit Wine does not.
packages=(
  cmake make
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 gcc-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 gcc-mingw-w64-x86-64-posix
  xvfb xauth x11-utils imagemagick xdotool
  # Wine's own fonts: its Marlett draws the title bar's buttons (scripts/lib.sh).
  fonts-wine
  locales googletest python3 python3-yaml clang-format git
  nsis
)
if [ "$VARNOSKLEN_ARCH" = 32 ]; then
  packages+=(wine wine32:i386)
else
  packages+=(wine wine64)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_root dpkg --add-architecture i386
  fi
  # A fresh machine often runs unattended upgrades at boot, which hold apt's
  # lock: apt waits for it, a bounded time, and says what holds it.
  lock_wait=(-o DPkg::Lock::Timeout=600)
  echo "setup: if another package manager holds apt's lock, apt waits for it (at most 10 minutes)"
  if ! need_root apt-get "${lock_wait[@]}" update -qq; then
    echo "setup: apt-get update failed: the package lists could not be fetched, or apt's lock stayed held" >&2
    exit 1
  fi
  if ! need_root env DEBIAN_FRONTEND=noninteractive apt-get "${lock_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"; then
    echo "setup: apt-get could not install ${missing[*]}" >&2
    exit 1
  fi
fi

if ! "$WINE_LOADER" --version >/dev/null 2>&1; then
  echo "setup: $WINE_LOADER does not start, so nothing can run under Wine here" >&2
  exit 1
fi

# The Greek locale gives Wine its 1253 ANSI code page; the English one is for
# the test that checks Greek still reads right under another code page.
gen_locale() {
  local name="$1" def="$2"
  if ! locale -a 2>/dev/null | grep -qi "^${def//-/}$\|^${name}$"; then
    if ! grep -q "^${name} UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "${name} UTF-8" | need_root tee -a /etc/locale.gen >/dev/null
    fi
    need_root locale-gen "${name}" >/dev/null
  fi
}
gen_locale el_GR.UTF-8 el_GR.utf8
gen_locale en_US.UTF-8 en_US.utf8
