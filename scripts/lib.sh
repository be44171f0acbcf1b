# Shared by the run and test scripts: the build, a private Wine prefix and a
# private X display. Source it; call cleanup on exit.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${VARNOSKLEN_BUILD_DIR:-$ROOT/build}"
BIN_DIR="$BUILD_DIR/bin"

export WINEPREFIX="${VARNOSKLEN_WINEPREFIX:-$BUILD_DIR/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
# The Greek locale gives Wine the 1253 ANSI code page the program is made for.
export LC_ALL="${VARNOSKLEN_LOCALE:-el_GR.UTF-8}"

STARTED_PIDS=()
WINE_STARTED=0

# Extra arguments go to CMake's configure step.
build() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" "$@" >/dev/null
  cmake --build "$BUILD_DIR" -j "$(nproc)"
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_until() {
  local deadline=$((SECONDS + $1)); shift
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
  echo "lib.sh: no display could be started" >&2
  return 1
}

# Creates the prefix once: every Wine process gets a desktop of 1024x768 with
# a taskbar and notification area, at 96 dpi unless VARNOSKLEN_DPI says.
init_prefix() {
  WINE_STARTED=1
  if [ ! -f "$WINEPREFIX/.varnosklen-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Varnosklen /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Varnosklen /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.varnosklen-ready"
  fi
  set_dpi "${VARNOSKLEN_DPI:-96}"
}

set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -w
}

# What every script that runs the program needs: the packages, a build, a
# private display and the prefix. Call after `trap cleanup EXIT`; arguments
# go to the build.
prepare_wine_session() {
  bash "$ROOT/scripts/setup.sh"
  build "$@"
  start_private_display
  init_prefix
}

# Measured figures depend on the machine and on whatever else it is running:
# the measuring programs put this beside them.
describe_machine() {
  VARNOSKLEN_MACHINE="$(nproc) CPUs; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'); $(wine --version); load $(cut -d' ' -f1-3 /proc/loadavg)"
  export VARNOSKLEN_MACHINE
  echo "Machine: $VARNOSKLEN_MACHINE"
}

cleanup() {
  if [ "$WINE_STARTED" = 1 ]; then wineserver -k >/dev/null 2>&1 || true; fi
  local pid
  for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${STARTED_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
}
