#include "res/MainDialogTemplate.h"

#include "platform/WindowStyles.h"

namespace {

constexpr unsigned RadioStyle = ws::CHILD | bs::AUTORADIOBUTTON;
constexpr unsigned PushStyle = ws::CHILD | bs::PUSHBUTTON | ws::TABSTOP;
constexpr unsigned GroupBoxStyle = ws::CHILD | bs::GROUPBOX;
constexpr unsigned DropListStyle = ws::CHILD | cbs::DROPDOWNLIST | ws::VSCROLL | ws::TABSTOP;
constexpr unsigned StaticStyle = ws::CHILD | ws::GROUP;

DialogTemplate BuildMainDialogTemplate() {
    return DialogTemplate{
        IDD_NETCONFIG_DIALOG,
        ws::POPUP | ws::VISIBLE | ws::CAPTION | ws::SYSMENU | ds::MODALFRAME | ds::SETFONT,
        wsex::APPWINDOW,
        "TALVOR Net Config",
        "MS Sans Serif",
        8,
        410,
        163,
        {
            {IDC_RB_ETHERNET, "BUTTON", RadioStyle | ws::VISIBLE, "Ethernet", 15, 65, 57, 10},
            {IDC_RB_DEVICENET, "BUTTON", RadioStyle | ws::VISIBLE, "DeviceNet", 15, 81, 57, 10},
            {IDC_RB_PROFIBUS, "BUTTON", RadioStyle | ws::VISIBLE, "Profibus - DP", 15, 97, 57, 10},
            {IDC_GRP_PAGE_FRAME, "BUTTON", GroupBoxStyle | ws::VISIBLE, "Static", 87, 38, 177, 119},
            {IDC_BTN_SET_DEFAULTS, "BUTTON", PushStyle | bs::MULTILINE, "Set to Default Values", 378, 9, 14,
             13},
            {IDC_BTN_PROGRAM, "BUTTON", PushStyle | bs::MULTILINE | ws::VISIBLE,
             "Program Ethernet Attributes\n into TALVOR", 283, 76, 106, 24},
            {NoControlId, "BUTTON", GroupBoxStyle | ws::VISIBLE, "Network Type", 11, 38, 65, 79},
            {NoControlId, "STATIC", StaticStyle | ss::LEFT | ws::VISIBLE,
             "You can setup networking parameters for TALVOR with Ethernet, DeviceNet or Profibus option "
             "from this "
             "dialog box. Please make sure you are connected to the TALVOR before using this utility.",
             10, 13, 385, 19},
            {NoControlId, "BUTTON", GroupBoxStyle, "Marquee Address", 381, 147, 8, 10},
            {NoControlId, "STATIC", StaticStyle | ss::RIGHT, "Group", 376, 154, 20, 8},
            {NoControlId, "STATIC", StaticStyle | ss::RIGHT, "Unit", 383, 150, 14, 8},
            {IDC_ST_USE, "STATIC", StaticStyle | ss::LEFT | ws::VISIBLE, "Use", 283, 52, 14, 8},
            {IDC_CB_COMPORT, "COMBOBOX", DropListStyle | ws::VISIBLE, "", 303, 50, 55, 60},
            {IDC_CB_HIDDEN_SEL1, "COMBOBOX", DropListStyle, "", 377, 150, 16, 12},
            {IDC_CB_HIDDEN_SEL2, "COMBOBOX", DropListStyle, "", 382, 147, 16, 12},
            {IDC_GRP_ACTIONS, "BUTTON", GroupBoxStyle | ws::VISIBLE, "", 274, 38, 126, 106},
            {IDC_BTN_DISABLE_ETHERNET, "BUTTON", PushStyle | ws::VISIBLE, "Disable Ethernet Attributes", 283,
             109, 106, 23},
            {IDC_RB_NONE, "BUTTON", RadioStyle | ws::VISIBLE | ws::GROUP, "None", 15, 49, 57, 10},
            {IDC_BTN_HELP, "BUTTON", PushStyle | ws::VISIBLE, "Help", 13, 130, 63, 15},
        },
        {},
    };
}

} // namespace

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate dialogTemplate = BuildMainDialogTemplate();
    return dialogTemplate;
}
