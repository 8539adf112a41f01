# The dialogs' geometry as their templates in res/ give it, and the one conversion of dialog units to
# pixels, for the scripts and tests that click the real windows. TALVOR_DIALOG_GEOMETRY holds what
# tests/res/print_dialog_geometry prints ("DIALOG NAME x y width height" a line, in dialog units).

# use_dialog_geometry PRINTER: runs the printer once; exported, so that child scripts have it too.
use_dialog_geometry() {
  TALVOR_DIALOG_GEOMETRY=$("$1") || { echo "FAIL: $1 printed no dialog geometry" >&2; return 1; }
  export TALVOR_DIALOG_GEOMETRY
}

# control_rect DIALOG NAME: "x y width height" in dialog units; NAME "dialog" is the dialog itself.
control_rect() {
  awk -v dialog="$1" -v name="$2" '$1 == dialog && $2 == name {print $3, $4, $5, $6; found = 1}
    END {if (!found) {print "FAIL: no control " name " in dialog " dialog > "/dev/stderr"; exit 1}}' \
    <<<"${TALVOR_DIALOG_GEOMETRY:?use_dialog_geometry was not called}"
}

# control_pixels DIALOG NAME: "x y width height" in pixels from the corner of the dialog's client area.
# Every dialog has the same font, so the main dialog's client area in pixels, TALVOR_DIALOG_WIDTH x
# TALVOR_DIALOG_HEIGHT, over its size in dialog units gives the scale for all.
control_pixels() {
  local x y w h unitsW unitsH
  read -r _ _ unitsW unitsH <<<"$(control_rect main dialog)"
  read -r x y w h <<<"$(control_rect "$1" "$2")"
  [ -n "$h" ] || return 1
  echo "$((x * TALVOR_DIALOG_WIDTH / unitsW)) $((y * TALVOR_DIALOG_HEIGHT / unitsH))" \
    "$((w * TALVOR_DIALOG_WIDTH / unitsW)) $((h * TALVOR_DIALOG_HEIGHT / unitsH))"
}

# click_control WINDOW DIALOG NAME [LEFT TOP]: clicks the middle of the control in X window WINDOW,
# where the dialog's client area starts at LEFT, TOP (0 0, the default, without a window manager: the
# X window is then the client area).
click_control() {
  local x y w h
  read -r x y w h <<<"$(control_pixels "$2" "$3")"
  [ -n "$h" ] || return 1
  xdotool mousemove --window "$1" $((${4:-0} + x + w / 2)) $((${5:-0} + y + h / 2)) click 1
}
