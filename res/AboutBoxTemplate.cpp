#include "res/AboutBoxTemplate.h"

#include "platform/WindowStyles.h"
#include "res/Version.h"

const DialogTemplate& AboutBoxTemplate() {
    static const DialogTemplate about{
        IDD_ABOUTBOX,
        ws::POPUP | ws::CAPTION | ws::SYSMENU | ds::MODALFRAME | ds::SETFONT,
        0,
        "About TALVOR_EthernetConfig",
        "MS Sans Serif",
        8,
        235,
        55,
        {
            {NoControlId, "STATIC", ws::CHILD | ws::VISIBLE | ss::ICON,
             QStringLiteral("#%1").arg(IDR_MAINFRAME), 11, 17, 20, 20},
            {NoControlId, "STATIC", ws::CHILD | ws::VISIBLE | ws::GROUP | ss::LEFT | ss::NOPREFIX,
             QStringLiteral("%1 Version %2").arg(ExecutableName, ExecutableVersion), 40, 10, 119, 8},
            {NoControlId, "STATIC", ws::CHILD | ws::VISIBLE | ws::GROUP | ss::LEFT,
             "Network setup for TALVOR", 40, 25, 119, 8},
            {id::OK, "BUTTON", ws::CHILD | ws::VISIBLE | ws::GROUP | ws::TABSTOP | bs::DEFPUSHBUTTON, "OK",
             178, 7, 50, 14},
        },
        {},
    };
    return about;
}
