# The main dialog's size and control rectangles in dialog units, read from its templates in res/, so that
# the scripts and tests that click the real dialog follow its layout.
TALVOR_TEMPLATES=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../res" && pwd)

# template_text FILE: the template source on one line.
template_text() { tr '\n' ' ' <"$TALVOR_TEMPLATES/$1"; echo; }

# dialog_size: "width height" of the main dialog, the two numbers after its font's name and size.
dialog_size() {
  template_text MainDialogTemplate.cpp |
    sed -n 's/.*"[^"]*",[[:space:]]*[0-9]*,[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\),[[:space:]]*{.*/\1 \2/p'
}

# control_rect FILE ID: "x y width height" of control ID in the template FILE.
control_rect() {
  template_text "$1" | grep -o "{$2, [^}]*}" | head -n1 |
    sed 's/.*,[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\)}$/\1 \2 \3 \4/'
}

# dialog_rect ID: a control of the main dialog.
dialog_rect() { control_rect MainDialogTemplate.cpp "$1"; }

# fieldbus_rect ID: a control of the fieldbus page, which sits at the page frame's corner.
fieldbus_rect() {
  local frameX frameY _ x y w h
  read -r frameX frameY _ _ <<<"$(dialog_rect IDC_GRP_PAGE_FRAME)"
  read -r x y w h <<<"$(control_rect FieldbusPageTemplate.cpp "$1")"
  echo "$((frameX + x)) $((frameY + y)) $w $h"
}
