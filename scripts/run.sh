#!/usr/bin/env bash
# Builds Varnosklen and starts it on the stand-in switch, with the switch's
# panel beside it. On the current display if there is one; otherwise on a
# private one, where it saves a screenshot and stops.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

run_setup
lock_session
say_architecture
build

headless=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  headless=1
  start_private_display
fi
init_prefix

cd "$BIN_DIR"
"$WINE_LOADER" StandInPanel.exe >/dev/null 2>&1 &
STARTED_PIDS+=($!)
"$WINE_LOADER" Varnosklen.exe >/dev/null 2>&1 &
program=$!
STARTED_PIDS+=($program)

if [ "$headless" = 1 ]; then
  wait_until 60 xdotool search --name "Varnosklen v$VERSION"
  # Wait for the first probe's colour rather than a fixed time.
  shot="$BUILD32_DIR/screenshot.png" # build/screenshot.png on either build
  shows_green() {
    import -window root -crop 1024x768+0+0 +repage "$shot" &&
      [ "$(convert "$shot" -fill black +opaque '#C0FFC0' -format '%[fx:mean>0]' info:)" = 1 ]
  }
  wait_until 30 shows_green || echo "run.sh: the status box did not turn green" >&2
  echo "No display: the window ran on a private one. Screenshot: $shot"
else
  echo "Varnosklen is running; close its window (or choose Εξοδος in its tray menu) to stop."
  wait "$program" || true
fi
