#include "res/MainDialogTemplate.h"

#include "platform/WindowStyles.h"

namespace {

constexpr unsigned kRadio = ws::CHILD | bs::AUTORADIOBUTTON;
constexpr unsigned kPush = ws::CHILD | bs::PUSHBUTTON | ws::TABSTOP;
constexpr unsigned kGroupBox = ws::CHILD | bs::GROUPBOX;
constexpr unsigned kDropList = ws::CHILD | cbs::DROPDOWNLIST | ws::VSCROLL | ws::TABSTOP;
constexpr unsigned kStatic = ws::CHILD | ws::GROUP;

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
            {IDC_RB_ETHERNET, "BUTTON", kRadio | ws::VISIBLE, "Ethernet", 15, 65, 57, 10},
            {IDC_RB_DEVICENET, "BUTTON", kRadio | ws::VISIBLE, "DeviceNet", 15, 81, 57, 10},
            {IDC_RB_PROFIBUS, "BUTTON", kRadio | ws::VISIBLE, "Profibus - DP", 15, 97, 57, 10},
            {IDC_GRP_PAGE_FRAME, "BUTTON", kGroupBox | ws::VISIBLE, "Static", 87, 38, 177, 119},
            {IDC_BTN_SET_DEFAULTS, "BUTTON", kPush | bs::MULTILINE, "Set to Default Values", 378, 9, 14, 13},
            {IDC_BTN_PROGRAM, "BUTTON", kPush | bs::MULTILINE | ws::VISIBLE,
             "Program Ethernet Attributes\n into TALVOR", 283, 76, 106, 24},
            {NoControlId, "BUTTON", kGroupBox | ws::VISIBLE, "Network Type", 11, 38, 65, 79},
            {NoControlId, "STATIC", kStatic | ss::LEFT | ws::VISIBLE,
             "You can setup networking parameters for TALVOR with Ethernet, DeviceNet or Profibus option "
             "from this "
             "dialog box. Please make sure you are connected to the TALVOR before using this utility.",
             10, 13, 385, 19},
            {NoControlId, "BUTTON", kGroupBox, "Marquee Address", 381, 147, 8, 10},
            {NoControlId, "STATIC", kStatic | ss::RIGHT, "Group", 376, 154, 20, 8},
            {NoControlId, "STATIC", kStatic | ss::RIGHT, "Unit", 383, 150, 14, 8},
            {IDC_ST_USE, "STATIC", kStatic | ss::LEFT | ws::VISIBLE, "Use", 283, 52, 14, 8},
            {IDC_CB_COMPORT, "COMBOBOX", kDropList | ws::VISIBLE, "", 303, 50, 55, 60},
            {IDC_CB_HIDDEN_SEL1, "COMBOBOX", kDropList, "", 377, 150, 16, 12},
            {IDC_CB_HIDDEN_SEL2, "COMBOBOX", kDropList, "", 382, 147, 16, 12},
            {IDC_GRP_ACTIONS, "BUTTON", kGroupBox | ws::VISIBLE, "", 274, 38, 126, 106},
            {IDC_BTN_DISABLE_ETHERNET, "BUTTON", kPush | ws::VISIBLE, "Disable Ethernet Attributes", 283, 109,
             106, 23},
            {IDC_RB_NONE, "BUTTON", kRadio | ws::VISIBLE | ws::GROUP, "None", 15, 49, 57, 10},
            {IDC_BTN_HELP, "BUTTON", kPush | ws::VISIBLE, "Help", 13, 130, 63, 15},
        },
        {},
    };
}

} // namespace

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate dialogTemplate = BuildMainDialogTemplate();
    return dialogTemplate;
}
