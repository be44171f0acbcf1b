#!/usr/bin/env bash
# Makes the README's screenshots in docs/: the window at 96, 120 and 144 dpi
# with the box on the bus, the window with the box off it, and the tray menu.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

prepare_wine_session
export AVR309_STANDIN="VarnosklenScreenshots"
DOCS="$ROOT/docs"
mkdir -p "$DOCS"
shot="$BUILD_DIR/desktop.png"

desktop() { import -window root -crop 1024x768+0+0 +repage "$shot"; }
shows() {  # the desktop shows colour $1 somewhere
  desktop && [ "$(convert "$shot" -fill black +opaque "$1" -format '%[fx:mean>0]' info:)" = 1 ]
}
# The window alone: the desktop above the taskbar, its plain background trimmed.
window_only() {
  convert "$shot" -crop 1024x736+0+0 +repage -bordercolor "$(convert "$shot" -format '%[pixel:p{2,2}]' info:)" \
    -border 1 -fuzz 2% -trim +repage "$1"
}

start_program() {
  (cd "$BIN_DIR" && exec "$WINE_LOADER" Varnosklen.exe >/dev/null 2>&1) &
  STARTED_PIDS+=($!)
  wait_until 30 shows '#C0FFC0'
}

stop_program() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w || true
}

for dpi in 96 120 144; do
  stop_program
  set_dpi "$dpi"
  start_program
  window_only "$DOCS/window-$dpi.png"
  echo "docs/window-$dpi.png"
  if [ "$dpi" = 96 ]; then
    cp "$DOCS/window-96.png" "$DOCS/window.png"
    (cd "$BIN_DIR" && wine StandInControl.exe onBus=0)
    wait_until 30 shows '#FFC0C0'
    window_only "$DOCS/window-absent.png"
    echo "docs/window-absent.png"
    (cd "$BIN_DIR" && wine StandInControl.exe onBus=1)
    # The tray icon is the last one at the right end of the taskbar; its menu
    # opens just above it, to its left.
    menu_area=424x150+600+618
    desktop
    convert "$shot" -crop "$menu_area" +repage "$BUILD_DIR/before-menu.png"
    xdotool mousemove 1012 756 click 3
    menu_open() {
      desktop && convert "$shot" -crop "$menu_area" +repage "$DOCS/tray-menu.png" &&
        [ "$(compare -metric AE "$BUILD_DIR/before-menu.png" "$DOCS/tray-menu.png" null: 2>&1)" != 0 ]
    }
    wait_until 10 menu_open
    echo "docs/tray-menu.png"
    xdotool key Escape
  fi
done
stop_program
set_dpi 96
