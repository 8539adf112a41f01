# The Windows utility under Wine on the X server, driven as a user would. Needs scripts/lib/xvfb.sh,
# scripts/lib/wine.sh, scripts/lib/simulator.sh and scripts/lib/dialog-geometry.sh.

# text_pixels DIALOG NAME: how many dark pixels the screen shows inside the edit field NAME, its sunken
# border left out.
text_pixels() {
  local x y w h
  read -r x y w h <<<"$(control_pixels "$1" "$2")"
  import -window "$TALVOR_WINDOW" -crop "$((w - 6))x$((h - 6))+$((x + 3))+$((y + 3))" png:- |
    convert png:- +repage -colorspace gray -threshold 50% -format '%[fx:round(w*h*(1-mean))]' info:
}

# field_paints_text DIALOG NAME: whether the edit field NAME paints text within 5 s.
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

# stand_in_browser SCRATCH: SCRATCH/bin/xdg-open, which records in SCRATCH/help-opened what Wine's
# browser hands it.
stand_in_browser() {
  mkdir -p "$1/bin"
  rm -f "$1/help-opened"
  printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/help-opened"\n' "$1" >"$1/bin/xdg-open"
  chmod +x "$1/bin/xdg-open"
}

# expect_help_opened SCRATCH: the stand-in browser was handed the help page within 10 s.
expect_help_opened() {
  for _ in $(seq 50); do
    [ -s "$1/help-opened" ] && break
    sleep 0.2
  done
  grep -q 'TALVOR_EthernetConfig.html' "$1/help-opened" 2>/dev/null ||
    { echo "FAIL: Help did not open the help page" >&2; return 1; }
  echo "Help opened $(head -n1 "$1/help-opened")"
}

# choose_com_port N: picks ComN in the utility's port list as a user does: a click on the closed box (the
# top of the control, whose height in the template counts the open list) opens the list on Com1, and the
# keys move down it and take the port. The window is mapped before the dialog takes input: the click is
# repeated until the list's window shows.
choose_com_port() {
  local x y w windows
  read -r x y w _ <<<"$(control_pixels main IDC_CB_COMPORT)"
  windows=$(xdotool search --onlyvisible --name '' | wc -l)
  for _ in 1 2 3 4 5; do
    xdotool mousemove --window "$TALVOR_WINDOW" $((x + w / 2)) $((y + 8)) click 1
    for _ in $(seq 10); do
      if [ "$(xdotool search --onlyvisible --name '' | wc -l)" -gt "$windows" ]; then
        # shellcheck disable=SC2046 # a key a word
        xdotool key --delay 100 $(printf 'Down %.0s' $(seq 2 "$1")) Return
        return 0
      fi
      sleep 0.2
    done
  done
  echo "FAIL: the port list did not open" >&2
  return 1
}

# drive_windows_utility EXE SCRATCH [N]: ComN chosen in the port list (default Com1, left as it is),
# DeviceNet read (the MAC ID field must paint the value read), MAC ID 42 programmed, Help opened (through
# a stand-in browser that records the page), then Escape.
drive_windows_utility() {
  local exe=$1 scratch=$2 port=${3:-1} painted=""
  stand_in_browser "$scratch"
  PATH="$scratch/bin:$PATH" start_dialog "$exe" || return 1
  [ "$port" -eq 1 ] || choose_com_port "$port" || return 1
  # The window is mapped before the dialog takes input: click DeviceNet until the value read appears in
  # the MAC ID field, on the fieldbus page.
  for _ in 1 2 3 4; do
    click_control "$TALVOR_WINDOW" main IDC_RB_DEVICENET
    field_paints_text fieldbus IDC_ED_NODE_ADDRESS && { painted=yes; break; }
  done
  [ -n "$painted" ] || { echo "FAIL: the MAC ID field shows no text after DeviceNet was read" >&2; return 1; }
  click_control "$TALVOR_WINDOW" fieldbus IDC_ED_NODE_ADDRESS
  # Wine takes only real key events, not ones sent to a window.
  xdotool key ctrl+a
  xdotool type 42
  click_control "$TALVOR_WINDOW" main IDC_BTN_PROGRAM
  answer_box "TALVOR_EthernetConfig" Return
  echo "Program answered with a message box"

  click_control "$TALVOR_WINDOW" main IDC_BTN_HELP
  expect_help_opened "$scratch" || return 1

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
  local exe=$1 png=$2 desktop pid geometry frameW frameH frameX frameY border top work
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
  click_control "$desktop" main IDC_RB_DEVICENET $((frameX + border)) "$top"
  capture_settled "$desktop" "$work/devicenet.png" "$work/shown.png"
  convert "$work/devicenet.png" -crop "${frameW}x${frameH}${frameX}${frameY}" +repage \
    -define png:exclude-chunks=date,time "$png"
  rm -rf "$work"
  echo "screenshot: $png"
  kill "$pid" 2>/dev/null || true
  stop_wine
}

# probe_windows PROBE REQUEST...: window_probe.exe's answer (see tests/windows/WindowProbe.cpp) once
# there is one; fails after 20 s, or after the seconds in TALVOR_PROBE_WAIT.
probe_windows() {
  local probe=$1 answer
  shift
  for _ in $(seq $((${TALVOR_PROBE_WAIT:-20} * 2))); do
    answer=$("$WINE" "$probe" "$@" 2>/dev/null | tr -d '\r') && [ -n "$answer" ] && { echo "$answer"; return 0; }
    sleep 0.5
  done
  return 1
}

# about_from_system_menu PROBE DESKTOP HOW: opens the About box as a user does, with a click on the
# dialog's caption icon, then the menu's last item, About: clicked (HOW click) or chosen with Up and
# Enter (HOW keys). Prints the About box's client area, "x y width height".
about_from_system_menu() {
  local probe=$1 desktop=$2 how=$3 x y w h
  read -r x y <<<"$(probe_windows "$probe" sysmenu "TALVOR Net Config")"
  [ -n "$y" ] || { echo "FAIL: the dialog shows no caption icon" >&2; return 1; }
  xdotool mousemove --window "$desktop" "$x" "$y" click 1
  read -r x y w h <<<"$(probe_windows "$probe" menu)"
  [ -n "$h" ] || { echo "FAIL: a click on the caption icon opened no system menu" >&2; return 1; }
  if [ "$how" = click ]; then
    xdotool mousemove --window "$desktop" $((x + w / 2)) $((y + h - 8)) click 1
  else
    xdotool key Up Return
  fi
  probe_windows "$probe" client "About TALVOR_EthernetConfig" ||
    { echo "FAIL: About from the system menu ($how) opened no About box" >&2; return 1; }
}

# about_box_closes PROBE: the About box goes away within 10 s.
about_box_closes() {
  for _ in $(seq 20); do
    "$WINE" "$1" client "About TALVOR_EthernetConfig" >/dev/null 2>&1 || return 0
    sleep 0.5
  done
  echo "FAIL: the About box stayed open" >&2
  return 1
}

# about_box_run EXE PROBE SCRATCH: the utility in Wine's virtual desktop, which draws the caption and
# its system menu. About opened from the menu with the mouse and closed with OK, then chosen with the
# keyboard and closed with Enter; after that the dialog must still answer (Help opens the help page)
# and Escape must end it with status 0. PROBE is window_probe.exe, run on the same desktop.
about_box_run() {
  local exe=$1 probe=$2 scratch=$3 pid desktop left top aboutLeft aboutTop status=0
  stand_in_browser "$scratch"
  # Every program of the prefix starts on the virtual desktop "talvor"; a program that crashes ends
  # with its report on standard error rather than waiting in a crash dialog.
  "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d talvor /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v talvor /d 1024x768 /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  PATH="$scratch/bin:$PATH" "$WINE" "$exe" 2>"$scratch/about-run.err" &
  pid=$!
  desktop=$(wait_for_window "talvor - Wine desktop" 120) || true
  read -r left top TALVOR_DIALOG_WIDTH TALVOR_DIALOG_HEIGHT <<<"$(TALVOR_PROBE_WAIT=120 probe_windows "$probe" client "TALVOR Net Config")"
  if [ -z "$desktop" ] || [ -z "$TALVOR_DIALOG_HEIGHT" ]; then
    echo "FAIL: the utility's window did not appear on Wine's desktop" >&2
    status=1
  else
    # No window manager gives the desktop the keyboard.
    xdotool windowfocus --sync "$desktop"
  fi
  if [ "$status" = 0 ]; then
    {
      read -r aboutLeft aboutTop _ _ <<<"$(about_from_system_menu "$probe" "$desktop" click)" &&
        [ -n "$aboutTop" ] &&
        click_control "$desktop" about IDOK "$aboutLeft" "$aboutTop" && about_box_closes "$probe" &&
        echo "About opened with the mouse from the system menu, closed with OK" &&
        about_from_system_menu "$probe" "$desktop" keys >/dev/null && xdotool key Return &&
        about_box_closes "$probe" &&
        echo "About chosen with the keyboard from the system menu, closed with Enter" &&
        kill -0 "$pid" 2>/dev/null &&
        click_control "$desktop" main IDC_BTN_HELP "$left" "$top" && expect_help_opened "$scratch" &&
        xdotool key Escape && wait "$pid"
    } || status=1
  fi
  if [ "$status" != 0 ]; then
    kill -0 "$pid" 2>/dev/null && echo "FAIL: the utility no longer answers" >&2 ||
      echo "FAIL: the utility died; what it left on standard error:" >&2
    cat "$scratch/about-run.err" >&2
    kill "$pid" 2>/dev/null || true
  fi
  "$WINE" reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
  stop_wine
  return "$status"
}
