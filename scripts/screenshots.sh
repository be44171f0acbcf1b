#!/usr/bin/env bash
# Makes the README's screenshots in docs/: the window at 96, 120 and 144 dpi
# with the box on the bus, the window with the box off it, the tray menu, the
# settings dialog at 96 and 144 dpi, and a notification.
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

# Started with Windows: only the icon, wearing the box's green badge.
start_in_tray() {
  (cd "$BIN_DIR" && exec "$WINE_LOADER" Varnosklen.exe /tray >/dev/null 2>&1) &
  STARTED_PIDS+=($!)
  wait_until 30 shows '#00C000'
}

# Whether the desktop's area $2 (WxH+X+Y) differs from that of image $1
# ($3 = changed) or is as in it ($3 = same), in two captures running.
area_is() {
  local i
  for i in 1 2; do
    desktop
    [ "$(convert "$1" "$shot" -crop "$2" +repage -compose difference -composite -format '%[fx:maxima>0]' info:)" = \
      "$([ "$3" = changed ] && echo 1 || echo 0)" ] || return 1
  done
}
CENTRE=400x160+312+304      # where the dialog opens
ABOVE_TRAY=1024x120+0+616   # where the tray menu and the notification open

# The tray icon is the last one at the right end of the taskbar.
open_tray_menu() { xdotool mousemove 1012 756 click 3; }

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
    open_tray_menu
    menu_open() {
      desktop && convert "$shot" -crop "$menu_area" +repage "$DOCS/tray-menu.png" &&
        [ "$(compare -metric AE "$BUILD_DIR/before-menu.png" "$DOCS/tray-menu.png" null: 2>&1)" != 0 ]
    }
    wait_until 10 menu_open
    echo "docs/tray-menu.png"
    xdotool key Escape
  fi
done

# The settings dialog alone, opened from the tray, at 96 and 144 dpi; at 96,
# the notification of the box leaving the bus while the window is hidden.
for dpi in 96 144; do
  stop_program
  set_dpi "$dpi"
  (cd "$BIN_DIR" && wine StandInControl.exe onBus=1)
  start_in_tray
  desktop && cp "$shot" "$BUILD_DIR/before.png"
  open_tray_menu
  wait_until 10 area_is "$BUILD_DIR/before.png" "$ABOVE_TRAY" changed
  xdotool key Up Up Return  # round to exit, then up to the settings
  wait_until 10 area_is "$BUILD_DIR/before.png" "$CENTRE" changed
  wait_until 10 area_is "$BUILD_DIR/before.png" "$ABOVE_TRAY" same
  window_only "$DOCS/settings-$dpi.png"
  echo "docs/settings-$dpi.png"
  xdotool key Escape
  wait_until 10 area_is "$BUILD_DIR/before.png" "$CENTRE" same
  [ "$dpi" = 96 ] || continue
  (cd "$BIN_DIR" && wine StandInControl.exe onBus=0)
  # The balloon, from its top left corner down to the icon it points at.
  wait_until 30 area_is "$BUILD_DIR/before.png" "$ABOVE_TRAY" changed
  area="$(convert "$BUILD_DIR/before.png" "$shot" -compose difference -composite -threshold 0 -trim -format '%X %Y' info:)"
  read -r x y <<<"${area//+/}"
  convert "$shot" -crop "$((1024 - x + 8))x$((768 - y + 8))+$((x - 8))+$((y - 8))" +repage "$DOCS/notification.png"
  echo "docs/notification.png"
  (cd "$BIN_DIR" && wine StandInControl.exe onBus=1)
done
stop_program
set_dpi 96
