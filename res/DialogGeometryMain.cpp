// Prints where the main dialog's controls sit, in dialog units, as shell assignments: the scripts that
// drive the real window (smoke test, screenshots, the Windows run under Wine) click what the templates
// define instead of keeping copies of their rectangles.
#include "res/FieldbusPageTemplate.h"
#include "res/MainDialogTemplate.h"

#include <cstdio>

namespace {

struct NamedControl {
    const char* name;
    const DialogTemplate& (*dialog)();
    int id;
};

constexpr NamedControl Controls[] = {
    {"ETHERNET", MainDialogTemplate, IDC_RB_ETHERNET},
    {"DEVICENET", MainDialogTemplate, IDC_RB_DEVICENET},
    {"PROFIBUS", MainDialogTemplate, IDC_RB_PROFIBUS},
    {"PROGRAM", MainDialogTemplate, IDC_BTN_PROGRAM},
    {"HELP", MainDialogTemplate, IDC_BTN_HELP},
    {"NODE_ADDRESS", FieldbusPageTemplate, IDC_ED_NODE_ADDRESS},
};

const ControlTemplate* Find(const DialogTemplate& dialog, int id) {
    for (const ControlTemplate& control : dialog.controls)
        if (control.id == id)
            return &control;
    return nullptr;
}

} // namespace

int main() {
    const DialogTemplate& dialog = MainDialogTemplate();
    // A page's controls sit inside the frame that the dialog lays its pages on.
    const ControlTemplate* pageFrame = Find(dialog, IDC_GRP_PAGE_FRAME);
    std::printf("DIALOG_UNITS=\"%d %d\"\n", dialog.cx, dialog.cy);
    for (const NamedControl& named : Controls) {
        const DialogTemplate& owner = named.dialog();
        const ControlTemplate* control = Find(owner, named.id);
        if (control == nullptr || pageFrame == nullptr)
            return 1;
        const bool onPage = &owner != &dialog;
        std::printf("CONTROL_%s=\"%d %d %d %d\"\n", named.name, control->x + (onPage ? pageFrame->x : 0),
                    control->y + (onPage ? pageFrame->y : 0), control->cx, control->cy);
    }
    return 0;
}
