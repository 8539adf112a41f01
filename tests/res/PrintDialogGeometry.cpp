// Prints the dialogs' geometry in dialog units, for the scripts and tests that click the real windows:
// one line "DIALOG NAME x y width height" per control, NAME "dialog" for the dialog itself. The pages'
// controls are given where they sit in the main dialog: on the page frame, at its corner.
#include "platform/WindowStyles.h"
#include "res/AboutBoxTemplate.h"
#include "res/EthernetPageTemplate.h"
#include "res/FieldbusPageTemplate.h"
#include "res/MainDialogTemplate.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {

struct NamedId {
    const char* name;
    int id;
};
#define NAMED(id)                                                                                            \
    NamedId {                                                                                                \
#id, id                                                                                              \
    }

const ControlTemplate& Control(const DialogTemplate& dialog, int id) {
    for (const ControlTemplate& control : dialog.controls)
        if (control.id == id)
            return control;
    std::fprintf(stderr, "template %d has no control %d\n", dialog.id, id);
    std::exit(1);
}

void Print(const char* dialogName, const DialogTemplate& dialog, std::initializer_list<NamedId> ids,
           int left = 0, int top = 0) {
    std::printf("%s dialog %d %d %d %d\n", dialogName, left, top, dialog.cx, dialog.cy);
    for (const NamedId& named : ids) {
        const ControlTemplate& control = Control(dialog, named.id);
        std::printf("%s %s %d %d %d %d\n", dialogName, named.name, left + control.x, top + control.y,
                    control.cx, control.cy);
    }
}

} // namespace

int main() {
    const DialogTemplate& main = MainDialogTemplate();
    Print("main", main,
          {NAMED(IDC_RB_NONE), NAMED(IDC_RB_ETHERNET), NAMED(IDC_RB_DEVICENET), NAMED(IDC_RB_PROFIBUS),
           NAMED(IDC_GRP_PAGE_FRAME), NAMED(IDC_CB_COMPORT), NAMED(IDC_BTN_PROGRAM),
           NAMED(IDC_BTN_DISABLE_ETHERNET), NAMED(IDC_BTN_HELP)});
    const ControlTemplate& frame = Control(main, IDC_GRP_PAGE_FRAME);
    Print("fieldbus", FieldbusPageTemplate(),
          {NAMED(IDC_ED_NODE_ADDRESS), NAMED(IDC_CB_BAUD_RATE), NAMED(IDC_ED_TIMEOUT),
           NAMED(IDC_ED_POLL_TIME), NAMED(IDC_ED_INPUT_WORDS), NAMED(IDC_ED_OUTPUT_WORDS)},
          frame.x, frame.y);
    Print("ethernet", EthernetPageTemplate(),
          {NAMED(IDC_IP_ADDRESS), NAMED(IDC_IP_SUBNET_MASK), NAMED(IDC_IP_GATEWAY), NAMED(IDC_ED_ETH_TIMEOUT),
           NAMED(IDC_ED_ETH_POLL_TIME)},
          frame.x, frame.y);
    const int IDOK = id::OK;
    Print("about", AboutBoxTemplate(), {NAMED(IDOK)});
    return 0;
}
