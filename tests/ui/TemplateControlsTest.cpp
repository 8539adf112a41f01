#include "platform/DialogBuilder.h"
#include "platform/IPAddressCtrl.h"
#include "platform/WindowStyles.h"
#include "res/AboutBoxTemplate.h"
#include "res/EthernetPageTemplate.h"
#include "res/FieldbusPageTemplate.h"
#include "tests/ui/UiTestSupport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <string>

namespace {

struct TemplateCase {
    const char* name;
    const DialogTemplate& (*get)();
};

class TemplateControlsTest : public testing::TestWithParam<TemplateCase> {
protected:
    void SetUp() override { TestApplication(); }
};

// The widget text a control shows for its template text.
QString ShownText(const QWidget& widget) {
    if (auto* label = qobject_cast<const QLabel*>(&widget))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget))
        return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(&widget))
        return group->title();
    if (auto* edit = qobject_cast<const QLineEdit*>(&widget))
        return edit->text();
    return {};
}

// Dialog units to pixels as Windows converts them: times the base unit, over 4 across and over 8 down,
// rounded half up (every value here is positive).
QRect Pixels(const QSize& baseUnits, int x, int y, int cx, int cy) {
    const auto across = [&](int units) { return (units * baseUnits.width() + 2) / 4; };
    const auto down = [&](int units) { return (units * baseUnits.height() + 4) / 8; };
    return QRect(across(x), down(y), across(cx), down(cy));
}

bool HasClassOf(const QWidget& widget, const ControlTemplate& control) {
    const QString windowClass = control.windowClass;
    if (windowClass == "STATIC")
        return qobject_cast<const QLabel*>(&widget);
    if (windowClass == "EDIT")
        return qobject_cast<const QLineEdit*>(&widget);
    if (windowClass == "COMBOBOX")
        return qobject_cast<const QComboBox*>(&widget);
    if (windowClass == "SysIPAddress32")
        return qobject_cast<const CIPAddressCtrl*>(&widget);
    if ((control.style & bs::TYPEMASK) == bs::GROUPBOX)
        return qobject_cast<const QGroupBox*>(&widget);
    return qobject_cast<const QPushButton*>(&widget);
}

// Every control of the template exists in template order with its id, class, text, rectangle and state.
TEST_P(TemplateControlsTest, EveryControlIsBuiltAsTheTemplateSays) {
    const DialogTemplate& dialogTemplate = GetParam().get();
    QWidget host;
    BuildFromTemplate(host, dialogTemplate);

    const QSize baseUnits = DialogBaseUnits(host.font());
    EXPECT_EQ(host.size(), Pixels(baseUnits, 0, 0, dialogTemplate.cx, dialogTemplate.cy).size());

    const QList<QWidget*> widgets = host.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(static_cast<std::size_t>(widgets.size()), dialogTemplate.controls.size());
    for (std::size_t i = 0; i < dialogTemplate.controls.size(); ++i) {
        const ControlTemplate& control = dialogTemplate.controls[i];
        SCOPED_TRACE("control #" + std::to_string(i + 1) + " id " + std::to_string(control.id));
        const bool icon = control.windowClass == "STATIC" && (control.style & ss::TYPEMASK) == ss::ICON;
        const bool textShown = control.windowClass != "SysIPAddress32" && !icon;

        // A control without an id is told apart by its class and text.
        const QWidget* found = control.id != NoControlId ? GetDlgItem(host, control.id) : nullptr;
        for (const QWidget* candidate : widgets)
            if (!found && GetDlgCtrlID(*candidate) == NoControlId && HasClassOf(*candidate, control) &&
                (textShown ? ShownText(*candidate) == control.text : icon))
                found = candidate;
        ASSERT_NE(found, nullptr);
        const QWidget& widget = *found;

        EXPECT_EQ(GetDlgCtrlID(widget), control.id);
        EXPECT_TRUE(HasClassOf(widget, control)) << widget.metaObject()->className();
        if (textShown) {
            EXPECT_EQ(ShownText(widget), control.text);
        }
        EXPECT_EQ(widget.isHidden(), !(control.style & ws::VISIBLE));
        EXPECT_EQ(widget.isEnabled(), !(control.style & ws::DISABLED));

        const QRect expected = Pixels(baseUnits, control.x, control.y, control.cx, control.cy);
        EXPECT_EQ(widget.pos(), expected.topLeft());
        if (control.windowClass == "COMBOBOX") {
            // The template height includes the dropped list; the closed box is one line high.
            EXPECT_EQ(widget.width(), expected.width());
            EXPECT_LE(widget.height(), expected.height());
        } else if (icon) {
            EXPECT_EQ(widget.size(), QSize(32, 32)) << "an icon static takes its icon's size";
        } else {
            EXPECT_EQ(widget.size(), expected.size());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateControlsTest,
                         testing::Values(TemplateCase{"AboutBox100", &AboutBoxTemplate},
                                         TemplateCase{"FieldbusPage103", &FieldbusPageTemplate},
                                         TemplateCase{"EthernetPage104", &EthernetPageTemplate}),
                         [](const testing::TestParamInfo<TemplateCase>& info) { return info.param.name; });

TEST(TemplateResources, BaudRateListHoldsTheThreeRatesInIndexOrder) {
    TestApplication();
    QWidget host;
    BuildFromTemplate(host, FieldbusPageTemplate());
    auto* list = GetDlgItemAs<QComboBox>(host, IDC_CB_BAUD_RATE);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0), "125 kb/s");
    EXPECT_EQ(list->itemText(1), "250 kb/s");
    EXPECT_EQ(list->itemText(2), "500 kb/s");
    EXPECT_FALSE(list->isEditable());
}

TEST(TemplateResources, IconIsOne32By32TrueColourImage) {
    TestApplication();
    const QImage icon = LoadIconResource(IDR_MAINFRAME).toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_FALSE(icon.hasAlphaChannel());
    EXPECT_GE(icon.depth(), 24);
}

} // namespace
