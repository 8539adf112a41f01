# The main dialog's controls, clicked where the templates put them. Without a window manager the X
# window is the dialog's client area, and its pixel size gives the dialog units of the font in use.

# use_dialog GEOMETRY_TOOL WINDOW: reads the controls' rectangles (talvor-dialog-geometry) and the
# window's size; the functions below then act on that window.
use_dialog() {
  eval "$("$1")"
  TALVOR_WINDOW=$2
  eval "$(xdotool getwindowgeometry --shell "$2")"
  TALVOR_DIALOG_WIDTH=$WIDTH
  TALVOR_DIALOG_HEIGHT=$HEIGHT
}

# control_centre NAME: "x y", the middle of control NAME in the window's pixels.
control_centre() {
  local rect=CONTROL_$1 x y w h unitsX unitsY
  read -r x y w h <<<"${!rect}"
  read -r unitsX unitsY <<<"$DIALOG_UNITS"
  echo "$(((x + w / 2) * TALVOR_DIALOG_WIDTH / unitsX)) $(((y + h / 2) * TALVOR_DIALOG_HEIGHT / unitsY))"
}

# click_control NAME
click_control() {
  local point
  read -r -a point <<<"$(control_centre "$1")"
  xdotool mousemove --window "$TALVOR_WINDOW" "${point[0]}" "${point[1]}" click 1
}
