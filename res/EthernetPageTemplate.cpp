#include "res/EthernetPageTemplate.h"

#include "platform/WindowStyles.h"

namespace {

constexpr unsigned LabelStyle = ws::CHILD | ws::GROUP;
constexpr unsigned NumberEditStyle = ws::CHILD | ws::BORDER | ws::TABSTOP | es::NUMBER | es::AUTOHSCROLL;
constexpr unsigned AddressStyle = ws::CHILD | ws::VISIBLE | ws::TABSTOP;

} // namespace

const DialogTemplate& EthernetPageTemplate() {
    static const DialogTemplate page{
        IDD_ETHERNET_PAGE,
        ws::CHILD | ws::VISIBLE | ds::SETFONT,
        0,
        "",
        "MS Sans Serif",
        8,
        186,
        117,
        {
            {IDC_ED_ETH_TIMEOUT, "EDIT", NumberEditStyle, "", 6, 4, 6, 12},
            {IDC_ED_ETH_POLL_TIME, "EDIT", NumberEditStyle, "", 7, 10, 6, 12},
            {IDC_IP_ADDRESS, "SysIPAddress32", AddressStyle, "IPAddress1", 69, 13, 89, 15},
            {IDC_IP_SUBNET_MASK, "SysIPAddress32", AddressStyle, "IPAddress1", 69, 38, 89, 15},
            {IDC_IP_GATEWAY, "SysIPAddress32", AddressStyle, "IPAddress1", 69, 63, 89, 15},
            {IDC_ST_ETH_TIMEOUT_LABEL, "STATIC", LabelStyle | ss::RIGHT, "Connect Timeout (0-255)", 7, 9, 12,
             8},
            {IDC_ST_ETH_TIMEOUT_UNIT, "STATIC", LabelStyle | ss::LEFT, "x 10 Seconds", 7, 8, 14, 8},
            {IDC_ST_ETH_POLL_TIME_LABEL, "STATIC", LabelStyle | ss::RIGHT, "Poll Time (0-255)", 7, 10, 16, 8},
            {IDC_ST_ETH_POLL_TIME_UNIT, "STATIC", LabelStyle | ss::LEFT, "x 10 Seconds", 14, 9, 8, 8},
            {IDC_ST_IP_ADDRESS, "STATIC", LabelStyle | ss::RIGHT | ws::VISIBLE, "IP Address", 26, 17, 35, 8},
            {IDC_ST_SUBNET_MASK, "STATIC", LabelStyle | ss::RIGHT | ws::VISIBLE, "Subnet Mask", 18, 41, 43,
             8},
            {IDC_ST_GATEWAY, "STATIC", LabelStyle | ss::RIGHT | ws::VISIBLE, "Gateway Address", 5, 65, 56, 8},
            {NoControlId, "BUTTON", ws::CHILD | ws::VISIBLE | bs::GROUPBOX, "Ethernet", 0, 0, 178, 107},
            {NoControlId, "STATIC", LabelStyle | ss::LEFT, "Port Number", 5, 10, 19, 8},
            {IDC_ED_PORT_NUMBER, "EDIT", NumberEditStyle, "", 9, 7, 9, 14},
        },
        {},
    };
    return page;
}
