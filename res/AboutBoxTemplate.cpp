#include "res/AboutBoxTemplate.h"

#include "platform/WindowStyles.h"

const DialogTemplate& AboutBoxTemplate() {
    static const DialogTemplate about{
        IDD_ABOUTBOX,
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
        0,
        "About TALVOR_EthernetConfig",
        "MS Sans Serif",
        8,
        235,
        55,
        {
            {IDC_STATIC, "STATIC", WS_CHILD | WS_VISIBLE | SS_ICON, "#128", 11, 17, 20, 20},
            {IDC_STATIC, "STATIC", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_NOPREFIX,
             "TALVOR_EthernetConfig Version 1.0", 40, 10, 119, 8},
            {IDC_STATIC, "STATIC", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, "Network setup for TALVOR", 40,
             25, 119, 8},
            {1, "BUTTON", WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, "OK", 178, 7, 50,
             14},
        },
        {},
    };
    return about;
}
