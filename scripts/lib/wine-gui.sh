# The Windows utility under Wine on the X server, driven as a user would. Needs scripts/lib/xvfb.sh,
# scripts/lib/wine.sh, scripts/lib/simulator.sh and scripts/lib/dialog-geometry.sh.

# Window geometry of the dialog without a window manager: the X window is the client area.
read -r TALVOR_DIALOG_UNITS_WIDTH TALVOR_DIALOG_UNITS_HEIGHT <<<"$(dialog_size)"
dialog_units_x() { echo $(($1 * TALVOR_DIALOG_WIDTH / TALVOR_DIALOG_UNITS_WIDTH)); }
dialog_units_y() { echo $(($1 * TALVOR_DIALOG_HEIGHT / TALVOR_DIALOG_UNITS_HEIGHT)); }

# click_control X Y W H: clicks the middle of the control whose template rectangle this is.
click_control() {
  xdotool mousemove --window "$TALVOR_WINDOW" "$(dialog_units_x $(($1 + $3 / 2)))" \
    "$(dialog_units_y $(($2 + $4 / 2)))" click 1
}

# text_pixels X Y W H: how many dark pixels the screen shows inside the edit field whose template
# rectangle this is, its sunken border left out.
text_pixels() {
  local x y w h
  x=$(($(dialog_units_x "$1") + 3))
  y=$(($(dialog_units_y "$2") + 3))
  w=$(($(dialog_units_x "$3") - 6))
  h=$(($(dialog_units_y "$4") - 6))
  import -window "$TALVOR_WINDOW" -crop "${w}x${h}+${x}+${y}" png:- |
    convert png:- +repage -colorspace gray -threshold 50% -format '%[fx:round(w*h*(1-mean))]' info:
}

# field_paints_text X Y W H: whether the edit field at this template rectangle paints text within 5 s.
# An empty field, or one whose text the font engine does not draw, has no dark pixel.
field_paints_text() {
  local pixels=0
  for _ in $(seq 10); do
    pixels=$(text_pixels "$@")
    [ "$pixels" -ge 12 ] && break
    sleep 0.5
  done
  echo "$pixels dark pixels inside the field"
  [ "$pixels" -ge 12 ]
}

# wait_until_gone TITLE: waits until no visible window is titled TITLE; fails after 20 s.
wait_until_gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  echo "FAIL: the window \"$1\" stayed" >&2
  return 1
}

# answer_box TITLE KEY: waits for a window titled TITLE, presses KEY in it and waits until it closes.
answer_box() {
  local box
  box=$(wait_for_window "$1") || true
  [ -n "$box" ] || { echo "FAIL: no window \"$1\" appeared" >&2; return 1; }
  xdotool windowfocus --sync "$box" key "$2"
  wait_until_gone "$1"
}

# start_dialog EXE: starts EXE under Wine on the bare X server and waits for its window; sets
# TALVOR_DIALOG_PID, TALVOR_WINDOW and the window's size in pixels, TALVOR_DIALOG_WIDTH and _HEIGHT.
start_dialog() {
  "$WINE" "$1" &
  TALVOR_DIALOG_PID=$!
  # A program's first start in a fresh Wine session can take long (fonts, services).
  TALVOR_WINDOW=$(wait_for_window "TALVOR Net Config" 120) || true
  [ -n "$TALVOR_WINDOW" ] || { echo "FAIL: the Windows build's window did not appear" >&2; return 1; }
  eval "$(xdotool getwindowgeometry --shell "$TALVOR_WINDOW")"
  TALVOR_DIALOG_WIDTH=$WIDTH
  TALVOR_DIALOG_HEIGHT=$HEIGHT
}

# drive_windows_utility EXE SCRATCH: DeviceNet read (the MAC ID field must paint the value read), MAC ID
# 42 programmed, Help opened (through a stand-in browser that records the page), then Escape.
drive_windows_utility() {
  local exe=$1 scratch=$2 painted=""
  mkdir -p "$scratch/bin"
  rm -f "$scratch/help-opened"
  printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/help-opened"\n' "$scratch" >"$scratch/bin/xdg-open"
  chmod +x "$scratch/bin/xdg-open"
  PATH="$scratch/bin:$PATH" start_dialog "$exe" || return 1
  # The window is mapped before the dialog takes input: click DeviceNet until the value read appears in
  # the MAC ID field, on the fieldbus page.
  for _ in 1 2 3 4; do
    click_control $(dialog_rect IDC_RB_DEVICENET)
    field_paints_text $(fieldbus_rect IDC_ED_NODE_ADDRESS) && { painted=yes; break; }
  done
  [ -n "$painted" ] || { echo "FAIL: the MAC ID field shows no text after DeviceNet was read" >&2; return 1; }
  click_control $(fieldbus_rect IDC_ED_NODE_ADDRESS)
  # Wine takes only real key events, not ones sent to a window.
  xdotool key ctrl+a
  xdotool type 42
  click_control $(dialog_rect IDC_BTN_PROGRAM)
  answer_box "TALVOR_EthernetConfig" Return
  echo "Program answered with a message box"

  click_control $(dialog_rect IDC_BTN_HELP)
  for _ in $(seq 50); do
    [ -s "$scratch/help-opened" ] && break
    sleep 0.2
  done
  grep -q 'TALVOR_EthernetConfig.html' "$scratch/help-opened" 2>/dev/null ||
    { echo "FAIL: Help did not open the help page" >&2; return 1; }
  echo "Help opened $(head -n1 "$scratch/help-opened")"

  xdotool windowfocus --sync "$TALVOR_WINDOW" key Escape
  wait "$TALVOR_DIALOG_PID"
}

# programming_run EXE SIMULATOR SCRATCH: drive_windows_utility against a simulator on COM1, which must
# then hold the DeviceNet block with MAC ID 42.
programming_run() {
  local exe=$1 simulator=$2 scratch=$3 store=$3/controller.store
  rm -f "$store"
  start_simulator "$simulator" --quiet --preload-defaults --store "$store"
  map_com_ports "1=$TALVOR_SIM_PTY"
  drive_windows_utility "$exe" "$scratch"
  stop_simulators
  if ! tr -d ' ' <"$store" | grep -qi '^2000C021E0000400004002A00$'; then
    echo "FAIL: the controller did not store the DeviceNet block with MAC ID 42:" >&2
    cat "$store" >&2
    return 1
  fi
  echo "the controller stored the DeviceNet block with MAC ID 42"
}

# measure_dialog EXE: sets TALVOR_DIALOG_WIDTH and _HEIGHT from a start of EXE on the bare X server.
measure_dialog() {
  start_dialog "$1" || return 1
  xdotool windowfocus --sync "$TALVOR_WINDOW" key Escape
  wait "$TALVOR_DIALOG_PID"
}

# windows_screenshot EXE PNG: the DeviceNet view inside Wine's virtual desktop, which draws the caption,
# icon and close box, cropped to the dialog.
windows_screenshot() {
  local exe=$1 png=$2 desktop pid geometry frameW frameH frameX frameY border top work x y
  measure_dialog "$exe"
  work=$(mktemp -d)
  "$WINE" explorer /desktop=talvor,1024x768 "$exe" &
  pid=$!
  desktop=$(wait_for_window "talvor - Wine desktop" 120) || true
  [ -n "$desktop" ] || { echo "FAIL: Wine's desktop did not appear" >&2; return 1; }
  capture_settled "$desktop" "$work/shown.png"
  # The desktop is one plain colour: trimming it leaves the dialog's frame.
  geometry=$(convert "$work/shown.png" -trim -format '%w %h %X %Y' info:)
  read -r frameW frameH frameX frameY <<<"$geometry"
  border=$(((frameW - TALVOR_DIALOG_WIDTH) / 2))
  top=$((frameY + frameH - border - TALVOR_DIALOG_HEIGHT))
  read -r x y _ _ <<<"$(dialog_rect IDC_RB_DEVICENET)"
  xdotool mousemove --window "$desktop" $((frameX + border + $(dialog_units_x $((x + 5))))) \
    $((top + $(dialog_units_y $((y + 5))))) click 1
  capture_settled "$desktop" "$work/devicenet.png" "$work/shown.png"
  convert "$work/devicenet.png" -crop "${frameW}x${frameH}${frameX}${frameY}" +repage \
    -define png:exclude-chunks=date,time "$png"
  rm -rf "$work"
  echo "screenshot: $png"
  kill "$pid" 2>/dev/null || true
  stop_wine
}
