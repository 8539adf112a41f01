# The Windows utility under Wine on the X server, driven as a user would.

# Window geometry of the dialog without a window manager: the X window is the client area.
dialog_units_x() { echo $(($1 * TALVOR_DIALOG_WIDTH / 410)); }
dialog_units_y() { echo $(($1 * TALVOR_DIALOG_HEIGHT / 163)); }

# click_control X Y W H: clicks the middle of the control whose template rectangle this is.
click_control() {
  xdotool mousemove --window "$TALVOR_WINDOW" "$(dialog_units_x $(($1 + $3 / 2)))" \
    "$(dialog_units_y $(($2 + $4 / 2)))" click 1
}

# answer_box TITLE KEY: waits for a window titled TITLE and presses KEY in it.
answer_box() {
  local box
  box=$(wait_for_window "$1") || true
  [ -n "$box" ] || { echo "FAIL: no window \"$1\" appeared" >&2; return 1; }
  xdotool windowfocus --sync "$box" key "$2"
  sleep 0.5
}

# drive_windows_utility EXE SCRATCH: DeviceNet read, MAC ID 42 programmed, Help opened (through a
# stand-in browser that records the page), then Escape.
drive_windows_utility() {
  local exe=$1 scratch=$2 pid
  mkdir -p "$scratch/bin"
  printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/help-opened"\n' "$scratch" >"$scratch/bin/xdg-open"
  chmod +x "$scratch/bin/xdg-open"
  PATH="$scratch/bin:$PATH" "$WINE" "$exe" &
  pid=$!
  # A program's first start in a fresh Wine session can take long (fonts, services).
  TALVOR_WINDOW=$(wait_for_window "TALVOR Net Config" 120) || true
  [ -n "$TALVOR_WINDOW" ] || { echo "FAIL: the Windows build's window did not appear" >&2; return 1; }
  eval "$(xdotool getwindowgeometry --shell "$TALVOR_WINDOW")"
  TALVOR_DIALOG_WIDTH=$WIDTH
  TALVOR_DIALOG_HEIGHT=$HEIGHT
  sleep 1

  click_control 15 81 57 10 # DeviceNet
  sleep 2
  click_control 184 48 50 14 # MAC ID, on the fieldbus page
  # Wine takes only real key events, not ones sent to a window.
  xdotool key ctrl+a
  xdotool type 42
  click_control 283 76 106 24 # Program
  answer_box "TALVOR_EthernetConfig" Return
  echo "Program answered with a message box"

  click_control 13 130 63 15 # Help
  for _ in $(seq 50); do
    [ -s "$scratch/help-opened" ] && break
    sleep 0.2
  done
  grep -q 'TALVOR_EthernetConfig.html' "$scratch/help-opened" 2>/dev/null ||
    { echo "FAIL: Help did not open the help page" >&2; return 1; }
  echo "Help opened $(head -n1 "$scratch/help-opened")"

  xdotool windowfocus --sync "$TALVOR_WINDOW" key Escape
  wait "$pid"
}

# windows_screenshot EXE PNG: the DeviceNet view inside Wine's virtual desktop, which draws the caption,
# icon and close box, cropped to the dialog.
windows_screenshot() {
  local exe=$1 png=$2 desktop pid geometry frameW frameH frameX frameY border top
  "$WINE" explorer /desktop=talvor,1024x768 "$exe" &
  pid=$!
  desktop=$(wait_for_window "talvor - Wine desktop" 120) || true
  [ -n "$desktop" ] || { echo "FAIL: Wine's desktop did not appear" >&2; return 1; }
  sleep 3
  # The desktop is one plain colour: trimming it leaves the dialog's frame.
  geometry=$(import -window "$desktop" png:- | convert png:- -trim -format '%w %h %X %Y' info:)
  read -r frameW frameH frameX frameY <<<"$geometry"
  border=$(((frameW - TALVOR_DIALOG_WIDTH) / 2))
  top=$((frameY + frameH - border - TALVOR_DIALOG_HEIGHT))
  xdotool mousemove --window "$desktop" $((frameX + border + $(dialog_units_x 20))) \
    $((top + $(dialog_units_y 86))) click 1 # DeviceNet
  sleep 2
  import -window "$desktop" -crop "${frameW}x${frameH}${frameX}${frameY}" +repage -define png:exclude-chunks=date,time "$png"
  echo "screenshot: $png"
  kill "$pid" 2>/dev/null || true
  stop_wine
}
