#include "res/EthernetPageTemplate.h"

#include "platform/WindowStyles.h"

namespace {

constexpr unsigned kLabel = WS_CHILD | WS_GROUP;
constexpr unsigned kNumberEdit = WS_CHILD | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL;
constexpr unsigned kAddress = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

} // namespace

const DialogTemplate& EthernetPageTemplate() {
    static const DialogTemplate page{
        IDD_ETHERNET_PAGE,
        WS_CHILD | WS_VISIBLE | DS_SETFONT,
        0,
        "",
        "MS Sans Serif",
        8,
        186,
        117,
        {
            {IDC_ED_ETH_TIMEOUT, "EDIT", kNumberEdit, "", 6, 4, 6, 12},
            {IDC_ED_ETH_POLL_TIME, "EDIT", kNumberEdit, "", 7, 10, 6, 12},
            {IDC_IP_ADDRESS, "SysIPAddress32", kAddress, "IPAddress1", 69, 13, 89, 15},
            {IDC_IP_SUBNET_MASK, "SysIPAddress32", kAddress, "IPAddress1", 69, 38, 89, 15},
            {IDC_IP_GATEWAY, "SysIPAddress32", kAddress, "IPAddress1", 69, 63, 89, 15},
            {IDC_ST_ETH_TIMEOUT_LABEL, "STATIC", kLabel | SS_RIGHT, "Connect Timeout (0-255)", 7, 9, 12, 8},
            {IDC_ST_ETH_TIMEOUT_UNIT, "STATIC", kLabel | SS_LEFT, "x 10 Seconds", 7, 8, 14, 8},
            {IDC_ST_ETH_POLL_TIME_LABEL, "STATIC", kLabel | SS_RIGHT, "Poll Time (0-255)", 7, 10, 16, 8},
            {IDC_ST_ETH_POLL_TIME_UNIT, "STATIC", kLabel | SS_LEFT, "x 10 Seconds", 14, 9, 8, 8},
            {IDC_ST_IP_ADDRESS, "STATIC", kLabel | SS_RIGHT | WS_VISIBLE, "IP Address", 26, 17, 35, 8},
            {IDC_ST_SUBNET_MASK, "STATIC", kLabel | SS_RIGHT | WS_VISIBLE, "Subnet Mask", 18, 41, 43, 8},
            {IDC_ST_GATEWAY, "STATIC", kLabel | SS_RIGHT | WS_VISIBLE, "Gateway Address", 5, 65, 56, 8},
            {IDC_STATIC, "BUTTON", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, "Ethernet", 0, 0, 178, 107},
            {IDC_STATIC, "STATIC", kLabel | SS_LEFT, "Port Number", 5, 10, 19, 8},
            {IDC_ED_PORT_NUMBER, "EDIT", kNumberEdit, "", 9, 7, 9, 14},
        },
        {},
    };
    return page;
}
