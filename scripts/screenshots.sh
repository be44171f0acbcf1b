#!/usr/bin/env bash
# Makes the README's screenshots in docs/: the window at 96, 120 and 144 dpi
# with the box on the bus, the window with the box off it, the tray menu, the
# settings dialog at 96 and 144 dpi and a notification, and the window, tray
# menu, settings and a notification in English (`program`); the setup program's pages
# (`setup`); or both (no argument).
#   scripts/screenshots.sh [program|setup]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

which="${1:-all}"
case "$which" in
  all | program | setup) ;;
  *)
    echo "screenshots.sh: no screenshots named '$which' (program, setup, or none for both)" >&2
    exit 2
    ;;
esac
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

# The program's display language: Greek, or English in PROGRAM_LOCALE's.
start_program() {
  (cd "$BIN_DIR" && LC_ALL="${PROGRAM_LOCALE:-$LC_ALL}" exec "$WINE_LOADER" Varnosklen.exe >/dev/null 2>&1) &
  STARTED_PIDS+=($!)
  wait_until 30 shows '#C0FFC0'
}

# Started with Windows: only the icon, wearing the box's green badge. The
# program, or PROGRAM (the same on the stand-in spooler's printers).
start_in_tray() {
  (cd "$BIN_DIR" && LC_ALL="${PROGRAM_LOCALE:-$LC_ALL}" exec "$WINE_LOADER" "${PROGRAM:-Varnosklen.exe}" /tray \
    >/dev/null 2>&1) &
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

# The box leaves the bus while only the icon shows: the balloon, from its top
# left corner down to the icon it points at, against before.png.
notification_shot() {
  local area x y
  (cd "$BIN_DIR" && wine StandInControl.exe onBus=0)
  wait_until 30 area_is "$BUILD_DIR/before.png" "$ABOVE_TRAY" changed
  area="$(convert "$BUILD_DIR/before.png" "$shot" -compose difference -composite -threshold 0 -trim -format '%X %Y' info:)"
  read -r x y <<<"${area//+/}"
  convert "$shot" -crop "$((1024 - x + 8))x$((768 - y + 8))+$((x - 8))+$((y - 8))" +repage "$DOCS/$1"
  echo "docs/$1"
  (cd "$BIN_DIR" && wine StandInControl.exe onBus=1)
}

# Escape closes the settings; a key that comes before the dialog has the
# focus is lost, so it is pressed again until the dialog has gone.
close_settings() {
  local i
  for i in 1 2 3 4 5; do
    xdotool key Escape
    if wait_until 4 area_is "$BUILD_DIR/before.png" "$CENTRE" same; then return 0; fi
  done
  return 1
}

stop_program() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w || true
}

program_shots() {
  # No printer chosen, whatever an interrupted run left.
  wine reg delete 'HKCU\Software\Varnosklen' /v SwitchWhenPrintingTo /f >/dev/null 2>&1 || true
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
    close_settings
    [ "$dpi" = 96 ] || continue
    notification_shot notification.png
  done
  stop_program
  set_dpi 96
}

# The same program on an English display language: the window, its tray menu,
# the settings with a printer chosen (the stand-in spooler's) and a
# notification, at 96 dpi.
english_shots() {
  local PROGRAM_LOCALE=en_US.UTF-8
  stop_program
  (cd "$BIN_DIR" && wine StandInControl.exe onBus=1)
  start_program
  window_only "$DOCS/window-en.png"
  echo "docs/window-en.png"
  desktop && cp "$shot" "$BUILD_DIR/before.png"
  open_tray_menu
  wait_until 10 area_is "$BUILD_DIR/before.png" "$ABOVE_TRAY" changed
  convert "$shot" -crop 424x150+600+618 +repage "$DOCS/tray-menu-en.png"
  echo "docs/tray-menu-en.png"
  xdotool key Escape
  stop_program
  wine reg add 'HKCU\Software\Varnosklen' /v SwitchWhenPrintingTo /d 'Laser on the switch' /f >/dev/null 2>&1
  PROGRAM=StandInPrinters.exe start_in_tray
  desktop && cp "$shot" "$BUILD_DIR/before.png"
  open_tray_menu
  wait_until 10 area_is "$BUILD_DIR/before.png" "$ABOVE_TRAY" changed
  xdotool key Up Up Return
  wait_until 10 area_is "$BUILD_DIR/before.png" "$CENTRE" changed
  wait_until 10 area_is "$BUILD_DIR/before.png" "$ABOVE_TRAY" same
  window_only "$DOCS/settings-en.png"
  echo "docs/settings-en.png"
  close_settings
  notification_shot notification-en.png
  wine reg delete 'HKCU\Software\Varnosklen' /v SwitchWhenPrintingTo /f >/dev/null 2>&1
  stop_program
}

# How many pixels differ between two images; a caret's blink is a few dozen.
differ() { compare -metric AE "$1" "$2" null: 2>&1 | awk '{ printf "%d", $1 }'; }
# A page of setup in place: the screen differs much from $1, has stopped
# changing, and shows a window of a setup's size on the desktop.
page_shows() {
  desktop && cp "$shot" "$shot.1" && desktop &&
    [ "$(differ "$shot" "$shot.1")" -lt 100 ] && [ "$(differ "$shot" "$1")" -ge 1000 ] &&
    window_only "$BUILD_DIR/window.png" && [ "$(convert "$BUILD_DIR/window.png" -format '%[fx:w>400]' info:)" = 1 ]
}
# Runs a command (a key for the setup window, or a program to start) and
# waits for the page it brings.
then_page() {
  desktop && cp "$shot" "$BUILD_DIR/before.png"
  "$@"
  if ! wait_until 60 page_shows "$BUILD_DIR/before.png"; then
    echo "screenshots.sh: no new page of setup after: $*" >&2
    return 1
  fi
}
press() { then_page xdotool key "$1"; }
# Starts a command in the background, after any NAME=value given first.
start() { (env "$@" >/dev/null 2>&1 &); }
save() { window_only "$DOCS/$1" && echo "docs/$1"; }

# The pages in Greek and the library page in English, on a stand-in library
# found on PATH and a 64-bit library refused. Only the 32-bit setup is
# released, and only its texts belong in the README.
setup_shots() {
  if [ "$VARNOSKLEN_ARCH" != 32 ]; then
    echo "screenshots.sh: the setup's pages are the 32-bit setup's, which cannot run here: not made"
    return
  fi
  local setup="$BIN_DIR/Varnosklen-$VERSION-setup.exe" drivers="$WINEPREFIX/drive_c/Drivers/AVR309" uninstaller folder
  local entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnosklen'
  mkdir -p "$drivers/x64"
  cp "$BIN_DIR/AVR309.dll" "$drivers/"
  x86_64-w64-mingw32-gcc -shared -o "$drivers/x64/AVR309.dll" -x c - <<<'int avr309;'
  finished() { desktop && [ "$(convert "$shot" -format '%[fx:p{700,400}.intensity]' info:)" = 1 ]; }  # white

  stop_program
  # What an interrupted run left installed would change the pages.
  wine reg delete "$entry" /f >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Programs/Varnosklen
  then_page start "$WINE_LOADER" "$setup" '/LIBRARY=C:\Drivers\AVR309\x64\AVR309.dll'
  save setup-components.png
  press Return && press Return && press Return  # the folder, the library, its refusal
  save setup-library-refused.png
  stop_program

  then_page start WINEPATH='C:\Drivers\AVR309' "$WINE_LOADER" "$setup"
  press Return && press Return
  save setup-library.png
  xdotool key Return
  if ! wait_until 60 finished; then
    echo "screenshots.sh: setup did not come to its last page" >&2
    return 1
  fi
  save setup-finish.png
  stop_program
  uninstaller="$(wine reg query "$entry" /v UninstallString | sed -n 's/.*REG_SZ *"\(.*\)".*/\1/p')"
  folder="$(wine winepath -u "${uninstaller%\\*}" | tr -d '\r')"
  then_page start "$WINE_LOADER" "$uninstaller"
  save uninstall.png
  xdotool key Return
  if ! wait_until 60 test ! -e "$folder"; then
    echo "screenshots.sh: the uninstaller left $folder" >&2
    return 1
  fi
  stop_program

  then_page start LC_ALL=en_US.UTF-8 WINEPATH='C:\Drivers\AVR309' "$WINE_LOADER" "$setup"
  press Return && press Return
  save setup-library-en.png
  stop_program
  rm -rf "$WINEPREFIX/drive_c/Drivers"
}

if [ "$which" != setup ]; then
  program_shots
  english_shots
fi
if [ "$which" != program ]; then setup_shots; fi
