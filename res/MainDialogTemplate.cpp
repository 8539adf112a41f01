#include "res/MainDialogTemplate.h"

#include "platform/WindowStyles.h"

namespace {

constexpr unsigned kRadio = WS_CHILD | BS_AUTORADIOBUTTON;
constexpr unsigned kPush = WS_CHILD | BS_PUSHBUTTON | WS_TABSTOP;
constexpr unsigned kGroupBox = WS_CHILD | BS_GROUPBOX;
constexpr unsigned kDropList = WS_CHILD | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr unsigned kStatic = WS_CHILD | WS_GROUP;

DialogTemplate BuildMainDialogTemplate() {
    return DialogTemplate{
        IDD_NETCONFIG_DIALOG,
        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
        WS_EX_APPWINDOW,
        "TALVOR Net Config",
        "MS Sans Serif",
        8,
        410,
        163,
        {
            {IDC_RB_ETHERNET, "BUTTON", kRadio | WS_VISIBLE, "Ethernet", 15, 65, 57, 10},
            {IDC_RB_DEVICENET, "BUTTON", kRadio | WS_VISIBLE, "DeviceNet", 15, 81, 57, 10},
            {IDC_RB_PROFIBUS, "BUTTON", kRadio | WS_VISIBLE, "Profibus - DP", 15, 97, 57, 10},
            {IDC_GRP_PAGE_FRAME, "BUTTON", kGroupBox | WS_VISIBLE, "Static", 87, 38, 177, 119},
            {IDC_BTN_SET_DEFAULTS, "BUTTON", kPush | BS_MULTILINE, "Set to Default Values", 378, 9, 14, 13},
            {IDC_BTN_PROGRAM, "BUTTON", kPush | BS_MULTILINE | WS_VISIBLE,
             "Program Ethernet Attributes\n into TALVOR", 283, 76, 106, 24},
            {IDC_STATIC, "BUTTON", kGroupBox | WS_VISIBLE, "Network Type", 11, 38, 65, 79},
            {IDC_STATIC, "STATIC", kStatic | SS_LEFT | WS_VISIBLE,
             "You can setup networking parameters for TALVOR with Ethernet, DeviceNet or Profibus option "
             "from this "
             "dialog box. Please make sure you are connected to the TALVOR before using this utility.",
             10, 13, 385, 19},
            {IDC_STATIC, "BUTTON", kGroupBox, "Marquee Address", 381, 147, 8, 10},
            {IDC_STATIC, "STATIC", kStatic | SS_RIGHT, "Group", 376, 154, 20, 8},
            {IDC_STATIC, "STATIC", kStatic | SS_RIGHT, "Unit", 383, 150, 14, 8},
            {IDC_ST_USE, "STATIC", kStatic | SS_LEFT | WS_VISIBLE, "Use", 283, 52, 14, 8},
            {IDC_CB_COMPORT, "COMBOBOX", kDropList | WS_VISIBLE, "", 303, 50, 55, 60},
            {IDC_CB_HIDDEN_SEL1, "COMBOBOX", kDropList, "", 377, 150, 16, 12},
            {IDC_CB_HIDDEN_SEL2, "COMBOBOX", kDropList, "", 382, 147, 16, 12},
            {IDC_GRP_ACTIONS, "BUTTON", kGroupBox | WS_VISIBLE, "", 274, 38, 126, 106},
            {IDC_BTN_DISABLE_ETHERNET, "BUTTON", kPush | WS_VISIBLE, "Disable Ethernet Attributes", 283, 109,
             106, 23},
            {IDC_RB_NONE, "BUTTON", kRadio | WS_VISIBLE | WS_GROUP, "None", 15, 49, 57, 10},
            {IDC_BTN_HELP, "BUTTON", kPush | WS_VISIBLE, "Help", 13, 130, 63, 15},
        },
        {},
    };
}

} // namespace

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate dialogTemplate = BuildMainDialogTemplate();
    return dialogTemplate;
}
