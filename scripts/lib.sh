# Shared by the set-up, run and test scripts: which build runs here, the
# builds, a private Wine prefix and a private X display. Source it; call
# cleanup on exit.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SCRIPT="$(basename "$0")"
# The version is written once, in CMakeLists.txt.
VERSION="$(sed -n 's/^project(Varnosklen VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"

# A failing step says what failed, never just an exit code.
set -E
trap 'echo "$SCRIPT: failed (exit status $?): ${BASH_COMMAND%%$'"'"'\n'"'"'*}" >&2' ERR

# The 32-bit program is what is released and what the tests run on. A machine
# whose kernel runs no 32-bit Linux programs cannot start 32-bit Wine; there
# the tests run on the program's 64-bit twin, built from the same sources,
# under 64-bit Wine. Both are built everywhere.
BUILD32_DIR="${VARNOSKLEN_BUILD_DIR:-$ROOT/build}"
BUILD64_DIR="$BUILD32_DIR/x86_64"
WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64

# Runs a 96-byte i386 Linux program that only exits with status 32; when it
# cannot run, NOT_32BIT_WHY says what the system answered.
runs_32bit_programs() {
  local probe status=0
  mkdir -p "$BUILD32_DIR"
  probe="$(mktemp "$BUILD32_DIR/.runs-32bit.XXXXXX")" # one per run: another may be running its own
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x20\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  NOT_32BIT_WHY="$( ("$probe") 2>&1)" || status=$?
  NOT_32BIT_WHY="${NOT_32BIT_WHY##*: }"
  rm -f "$probe"
  [ "$status" = 32 ]
}

# Sets VARNOSKLEN_ARCH (32 or 64) and the reason, once for a script and the
# scripts it starts. VARNOSKLEN_ARCH=64 asks for the twin on any machine.
choose_architecture() {
  if [ -n "${VARNOSKLEN_ARCH:-}" ] && [ -n "${VARNOSKLEN_ARCH_REASON:-}" ]; then return; fi
  case "${VARNOSKLEN_ARCH:-}" in
    32 | 64) VARNOSKLEN_ARCH_REASON="VARNOSKLEN_ARCH=$VARNOSKLEN_ARCH asks for it" ;;
    "")
      if ! runs_32bit_programs; then
        VARNOSKLEN_ARCH=64
        VARNOSKLEN_ARCH_REASON="this machine cannot run 32-bit programs (a 32-bit Linux program fails: ${NOT_32BIT_WHY:-no reason given})"
      elif [ -x "$WINE32_LOADER" ] && ! "$WINE32_LOADER" --version >/dev/null 2>&1; then
        VARNOSKLEN_ARCH=64
        VARNOSKLEN_ARCH_REASON="32-bit Wine is installed but does not start ($WINE32_LOADER --version fails)"
      else
        VARNOSKLEN_ARCH=32
        VARNOSKLEN_ARCH_REASON="this machine runs 32-bit programs"
      fi
      ;;
    *)
      echo "$SCRIPT: VARNOSKLEN_ARCH must be 32 or 64, not '$VARNOSKLEN_ARCH'" >&2
      exit 2
      ;;
  esac
  export VARNOSKLEN_ARCH VARNOSKLEN_ARCH_REASON
}
choose_architecture

if [ "$VARNOSKLEN_ARCH" = 32 ]; then
  BUILD_DIR="$BUILD32_DIR"
  WINE_LOADER="$WINE32_LOADER"
  export WINEARCH=win32
else
  BUILD_DIR="$BUILD64_DIR"
  WINE_LOADER="$WINE64_LOADER"
  export WINEARCH=win64
fi
BIN_DIR="$BUILD_DIR/bin"
# Always named, never /usr/bin/wine, which takes the 32-bit loader whenever
# it is installed, whether or not it can run.
export WINE_LOADER WINELOADER="$WINE_LOADER"

# One plain line: which build the programs and tests run on, and why.
say_architecture() {
  if [ "$VARNOSKLEN_ARCH" = 32 ]; then
    echo "Running the 32-bit program under 32-bit Wine: $VARNOSKLEN_ARCH_REASON."
  else
    echo "Running the 64-bit twin of the program under 64-bit Wine: $VARNOSKLEN_ARCH_REASON." \
      "The 32-bit program is built and checked, not run."
  fi
}

export WINEPREFIX="${VARNOSKLEN_WINEPREFIX:-$BUILD_DIR/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No .NET or Gecko prompts, and no menu entries on the host for shortcuts made in the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The Greek locale gives Wine the 1253 ANSI code page the program is made for.
# It is set only once it exists (setup.sh makes it): bash, perl and apt warn
# at every step under a locale that does not.
WANT_LOCALE="${VARNOSKLEN_LOCALE:-el_GR.UTF-8}"
locale_exists() { locale -a 2>/dev/null | grep -qix "${WANT_LOCALE/UTF-8/utf8}"; }
if locale_exists; then export LC_ALL="$WANT_LOCALE"; fi
# The script's own arguments (sourced with none, this file sees them).
SCRIPT_ARGS=("$@")

# Installs what is missing. A locale it has just made cannot be taken by this
# shell (the C library read the list of locales when the shell started, and
# says so at every step): the script starts again from the top, once, with it.
run_setup() {
  bash "$ROOT/scripts/setup.sh"
  if [ "${LC_ALL:-}" != "$WANT_LOCALE" ] && locale_exists; then
    exec env LC_ALL="$WANT_LOCALE" "$BASH" "$0" "${SCRIPT_ARGS[@]}"
  fi
}

STARTED_PIDS=()
WINE_STARTED=0
SESSION_LOCK=""

# One run at a time in a checkout: two would share its builds and its Wine
# prefix, and the first to end would end the other's Wine. The second waits,
# and says so; a lock whose process has gone is taken over.
lock_session() {
  local lock="$BUILD32_DIR/.session" holder deadline=$((SECONDS + 3600)) told=0
  if [ -n "$SESSION_LOCK" ]; then return; fi
  mkdir -p "$BUILD32_DIR"
  until mkdir "$lock" 2>/dev/null; do
    holder="$(cat "$lock/pid" 2>/dev/null || true)"
    if [ -n "$holder" ] && ! kill -0 "$holder" 2>/dev/null; then
      rm -rf "$lock"
      continue
    fi
    if [ "$told" = 0 ]; then
      echo "$SCRIPT: another run in this checkout (process ${holder:-starting}) is using its build and Wine; waiting for it to end (at most an hour)."
      told=1
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "$SCRIPT: the other run (process ${holder:-?}) did not end within an hour" >&2
      return 1
    fi
    sleep 1
  done
  echo $$ >"$lock/pid"
  SESSION_LOCK="$lock"
}

wine() { "$WINE_LOADER" "$@"; }

# build_arch 32|64 [CMake configure arguments]: one architecture in its own folder.
build_arch() {
  local arch="$1" dir toolchain loader what
  shift
  if [ "$arch" = 32 ]; then
    dir="$BUILD32_DIR" toolchain=mingw-i686 loader="$WINE32_LOADER" what="the 32-bit program"
  else
    dir="$BUILD64_DIR" toolchain=mingw-x86_64 loader="$WINE64_LOADER" what="the 64-bit twin"
  fi
  if ! cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain.cmake" -DWINE="$loader" "$@" \
    >/dev/null; then
    echo "$SCRIPT: CMake could not configure $what in $dir" >&2
    return 1
  fi
  if ! cmake --build "$dir" -j "$(nproc)"; then
    echo "$SCRIPT: $what did not build (in $dir)" >&2
    return 1
  fi
}

# The build that runs here; extra arguments go to CMake's configure step.
build() { build_arch "$VARNOSKLEN_ARCH" "$@"; }

# The build that does not run here, so that it never rots.
build_other() {
  if [ "$VARNOSKLEN_ARCH" = 32 ]; then build_arch 64 "$@"; else build_arch 32 "$@"; fi
}

# What is released, checked on every machine, also where it cannot run: the
# 32-bit program and its command line are 32-bit Windows executables that
# need nothing but Windows' own libraries; the command line binds user32
# only when it talks to a running program, which halves its start under Wine.
# The size budget of each released executable: a static program that pulls in
# the C++ library's runtime by accident grows by hundreds of KB.
RELEASE_SIZE_BUDGET=$((256 * 1024))

check_release_build() {
  local file dll size
  for file in Varnosklen.exe varnosklen-cli.exe; do
    size=$(stat -c %s "$BUILD32_DIR/bin/$file")
    if [ "$size" -gt "$RELEASE_SIZE_BUDGET" ]; then
      echo "$SCRIPT: $BUILD32_DIR/bin/$file is $size bytes, over its budget of $RELEASE_SIZE_BUDGET" >&2
      return 1
    fi
    if ! i686-w64-mingw32-objdump -f "$BUILD32_DIR/bin/$file" | grep -q "file format pei-i386"; then
      echo "$SCRIPT: $BUILD32_DIR/bin/$file is not a 32-bit Windows executable" >&2
      return 1
    fi
    for dll in $(i686-w64-mingw32-objdump -p "$BUILD32_DIR/bin/$file" | sed -n 's/^\tDLL Name: //p'); do
      case "${dll,,}" in
        advapi32.dll | comctl32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | ole32.dll | shell32.dll | user32.dll) ;;
        *)
          echo "$SCRIPT: $file needs $dll, which Windows does not bring" >&2
          return 1
          ;;
      esac
      if [ "$file" = varnosklen-cli.exe ] && [ "${dll,,}" = user32.dll ]; then
        echo "$SCRIPT: varnosklen-cli.exe loads user32 at start, which it must bind only when needed" >&2
        return 1
      fi
    done
  done
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    if [ "$SECONDS" -ge "$deadline" ]; then return 1; fi
    sleep 0.1
  done
}

# A display of our own, so nothing depends on or disturbs the user's.
start_private_display() {
  local n
  for n in $(seq 91 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    local pid=$!
    STARTED_PIDS+=($pid)
    export DISPLAY=":$n"
    # Another script may have taken the same number at the same moment: the
    # display is ours only if our server is the one still running.
    if wait_until 20 xdpyinfo && kill -0 "$pid" 2>/dev/null; then return 0; fi
    kill "$pid" 2>/dev/null || true
  done
  echo "$SCRIPT: no X display could be started (Xvfb)" >&2
  return 1
}

# Creates the prefix once: every Wine process gets a desktop of 1024x768 with
# a taskbar and notification area, at 96 dpi unless VARNOSKLEN_DPI says.
init_prefix() {
  lock_session
  WINE_STARTED=1
  if [ ! -f "$WINEPREFIX/.varnosklen-ready" ]; then
    mkdir -p "$WINEPREFIX"
    if ! wine wineboot -i >/dev/null 2>&1; then
      echo "$SCRIPT: Wine could not make its prefix in $WINEPREFIX ($WINE_LOADER wineboot -i failed)" >&2
      return 1
    fi
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Varnosklen /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Varnosklen /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.varnosklen-ready"
  fi
  network_drive
  title_bar_font
  set_dpi "${VARNOSKLEN_DPI:-96}"
}

# Wine draws the title bar's buttons with Marlett (fonts-wine), which it takes
# only from the prefix's Fonts folder: without it they show as "0 1 r".
title_bar_font() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts"
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
}

# Drive N: of the prefix is a network drive, as Windows sees one mapped to a
# share: the tests check that the library is never loaded from there.
network_drive() {
  if [ ! -L "$WINEPREFIX/dosdevices/n:" ]; then
    mkdir -p "$BUILD_DIR/network-drive"
    ln -sfn "$BUILD_DIR/network-drive" "$WINEPREFIX/dosdevices/n:"
    wine reg add 'HKLM\Software\Wine\Drives' /v 'n:' /d network /f >/dev/null 2>&1
    wineserver -w
  fi
}

set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -w
}

# What every script that runs the program needs: the packages, a build, a
# private display and the prefix. Call after `trap cleanup EXIT`; arguments
# go to the build.
prepare_wine_session() {
  run_setup
  lock_session
  say_architecture
  build "$@"
  start_private_display
  init_prefix
}

# Measured figures depend on the machine and on whatever else it is running:
# the measuring programs put this beside them.
describe_machine() {
  VARNOSKLEN_MACHINE="$(nproc) CPUs; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'); $(wine --version) (${VARNOSKLEN_ARCH}-bit); load $(cut -d' ' -f1-3 /proc/loadavg)"
  export VARNOSKLEN_MACHINE
  echo "Machine: $VARNOSKLEN_MACHINE"
}

cleanup() {
  if [ "$WINE_STARTED" = 1 ]; then wineserver -k >/dev/null 2>&1 || true; fi
  local pid
  for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${STARTED_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ -n "$SESSION_LOCK" ]; then rm -rf "$SESSION_LOCK"; fi
}
