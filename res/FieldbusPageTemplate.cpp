#include "res/FieldbusPageTemplate.h"

#include "model/BaudRates.h"
#include "platform/WindowStyles.h"

namespace {

constexpr unsigned LabelStyle = ws::CHILD | ws::GROUP;
constexpr unsigned NumberEditStyle = ws::CHILD | ws::BORDER | ws::TABSTOP | es::NUMBER | es::AUTOHSCROLL;

} // namespace

const QStringList& BaudRateListData() {
    static const QStringList items = [] {
        QStringList texts;
        for (const int kbps : DeviceNetBaudRatesKbps)
            texts += QStringLiteral("%1 kb/s").arg(kbps);
        return texts;
    }();
    return items;
}

const DialogTemplate& FieldbusPageTemplate() {
    static const DialogTemplate page{
        IDD_FIELDBUS_PAGE,
        ws::CHILD | ws::VISIBLE | ds::SETFONT,
        0,
        "",
        "MS Sans Serif",
        8,
        177,
        111,
        {
            {IDC_ST_NODE_ADDRESS, "STATIC", LabelStyle | ss::RIGHT | ws::VISIBLE, "Mac ID", 21, 12, 70, 8},
            {IDC_ED_NODE_ADDRESS, "EDIT", NumberEditStyle | ws::VISIBLE, "", 97, 10, 50, 14},
            {IDC_ST_BAUD_RATE, "STATIC", LabelStyle | ss::LEFT | ws::VISIBLE, "Baud Rate", 55, 69, 35, 8},
            {IDC_CB_BAUD_RATE, "COMBOBOX",
             ws::CHILD | ws::VISIBLE | ws::TABSTOP | ws::VSCROLL | cbs::DROPDOWNLIST | cbs::SORT, "", 96, 66,
             50, 61},
            {IDC_ST_TIMEOUT_LABEL, "STATIC", LabelStyle | ss::RIGHT, "Data Timeout (0-255)", 143, 67, 17, 8},
            {IDC_ED_TIMEOUT, "EDIT", NumberEditStyle, "", 148, 61, 9, 14},
            {IDC_ST_TIMEOUT_UNIT, "STATIC", LabelStyle | ss::LEFT, "x 10 Seconds", 146, 63, 10, 8},
            {IDC_ST_POLL_TIME_LABEL, "STATIC", LabelStyle | ss::RIGHT, "Poll Time (0-255)", 151, 63, 10, 8},
            {IDC_ED_POLL_TIME, "EDIT", NumberEditStyle, "", 147, 56, 12, 14},
            {IDC_ST_POLL_TIME_UNIT, "STATIC", LabelStyle | ss::LEFT, "x 10 Seconds", 145, 71, 22, 8},
            {IDC_ST_INPUT_WORDS, "STATIC", LabelStyle | ss::RIGHT | ws::VISIBLE, "Maximum Input Words", 20,
             31, 71, 8},
            {IDC_ED_INPUT_WORDS, "EDIT", NumberEditStyle | ws::VISIBLE | ws::DISABLED, "", 97, 29, 50, 14},
            {IDC_ST_OUTPUT_WORDS, "STATIC", LabelStyle | ss::RIGHT | ws::VISIBLE, "Maximum Output Words", 15,
             50, 76, 8},
            {IDC_ED_OUTPUT_WORDS, "EDIT", NumberEditStyle | ws::VISIBLE | ws::DISABLED, "", 97, 47, 50, 14},
            {IDC_ST_MAX_STRING, "STATIC", LabelStyle | ss::LEFT | ws::VISIBLE, "Max string", 8, 67, 161, 9},
            {IDC_GRP_PROPERTIES, "BUTTON", ws::CHILD | ws::VISIBLE | bs::GROUPBOX, "Static", 0, 0, 177, 105},
        },
        {{IDC_CB_BAUD_RATE, BaudRateListData()}},
    };
    return page;
}
