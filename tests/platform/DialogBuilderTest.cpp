#include "platform/DialogBuilder.h"
#include "platform/IPAddressCtrl.h"
#include "platform/WindowStyles.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_dialog_builder";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's test input devices would otherwise outlive it at exit.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

constexpr unsigned kVisible = ws::CHILD | ws::VISIBLE;

DialogTemplate ChildTemplate(std::vector<ControlTemplate> controls,
                             std::vector<std::pair<int, QStringList>> init = {}) {
    return DialogTemplate{900,
                          ws::CHILD | ws::VISIBLE | ds::SETFONT,
                          0,
                          "",
                          "MS Sans Serif",
                          8,
                          200,
                          100,
                          std::move(controls),
                          std::move(init)};
}

// Widgets need the application before the fixture's members are constructed.
class WidgetTest : public testing::Test {
protected:
    WidgetTest() { App(); }
};

class DialogBuilderTest : public WidgetTest {
protected:
    template <class T> T& Item(int id) {
        T* item = GetDlgItemAs<T>(host, id);
        EXPECT_NE(item, nullptr) << id;
        return *item;
    }

    QWidget host;
};

// Radios laid out as a dialog might: 1..2 before the first ws::GROUP, a text starting a group, then
// 3..4 starting another. By the wrap-around rule 1, 2, 3 and 4 form one group; 5 stands alone.
TEST_F(DialogBuilderTest, RadioGroupsRunFromGroupStartToGroupStartAndWrapAround) {
    BuildFromTemplate(host,
                      ChildTemplate({
                          {1, "BUTTON", kVisible | bs::AUTORADIOBUTTON, "One", 0, 0, 40, 10},
                          {2, "BUTTON", kVisible | bs::AUTORADIOBUTTON, "Two", 0, 10, 40, 10},
                          {-1, "STATIC", kVisible | ws::GROUP, "Text", 0, 20, 40, 8},
                          {5, "BUTTON", kVisible | bs::AUTORADIOBUTTON, "Five", 0, 30, 40, 10},
                          {3, "BUTTON", kVisible | ws::GROUP | bs::AUTORADIOBUTTON, "Three", 50, 0, 40, 10},
                          {4, "BUTTON", kVisible | bs::AUTORADIOBUTTON, "Four", 50, 10, 40, 10},
                      }));
    Item<QRadioButton>(5).click();
    Item<QRadioButton>(1).click();
    EXPECT_TRUE(Item<QRadioButton>(1).isChecked());
    EXPECT_TRUE(Item<QRadioButton>(5).isChecked()) << "another group is left alone";

    Item<QRadioButton>(4).click();
    EXPECT_TRUE(Item<QRadioButton>(4).isChecked());
    EXPECT_FALSE(Item<QRadioButton>(1).isChecked()) << "the group wraps from the end to the start";

    Item<QRadioButton>(4).click();
    EXPECT_TRUE(Item<QRadioButton>(4).isChecked()) << "clicking the checked button keeps it checked";

    // Setting a check from code touches that button only.
    Item<QRadioButton>(2).setChecked(true);
    EXPECT_TRUE(Item<QRadioButton>(4).isChecked());
    Item<QRadioButton>(2).setChecked(false);
    EXPECT_FALSE(Item<QRadioButton>(2).isChecked());
}

TEST_F(DialogBuilderTest, DigitsOnlyEditsRefuseEverythingButDigits) {
    BuildFromTemplate(host, ChildTemplate({
                                {10, "EDIT", kVisible | ws::TABSTOP | es::NUMBER, "", 0, 0, 50, 14},
                                {11, "EDIT", kVisible | ws::TABSTOP, "", 0, 20, 50, 14},
                            }));
    QTest::keyClicks(&Item<QLineEdit>(10), "-1a2 3+");
    // A digit of another script is no digit to the number conversion either.
    QKeyEvent arabicIndicThree(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x0663)));
    QApplication::sendEvent(&Item<QLineEdit>(10), &arabicIndicThree);
    QTest::keyClicks(&Item<QLineEdit>(11), "-1a2");
    EXPECT_EQ(Item<QLineEdit>(10).text(), "123");
    EXPECT_EQ(Item<QLineEdit>(11).text(), "-1a2");
}

TEST_F(DialogBuilderTest, DropDownListsAreFixedSortedWhenAskedAndStartUnselected) {
    const QStringList items{"beta", "Alpha", "gamma"};
    BuildFromTemplate(host,
                      ChildTemplate(
                          {
                              {20, "COMBOBOX", kVisible | cbs::DROPDOWNLIST | cbs::SORT, "", 0, 0, 50, 60},
                              {21, "COMBOBOX", kVisible | cbs::DROPDOWNLIST, "", 0, 20, 50, 60},
                          },
                          {{20, items}, {21, items}}));
    auto& sorted = Item<QComboBox>(20);
    auto& unsorted = Item<QComboBox>(21);
    EXPECT_FALSE(sorted.isEditable());
    EXPECT_EQ(sorted.currentIndex(), -1);
    ASSERT_EQ(sorted.count(), 3);
    EXPECT_EQ(sorted.itemText(0), "Alpha");
    EXPECT_EQ(sorted.itemText(2), "gamma");
    EXPECT_EQ(unsorted.itemText(0), "beta");
}

TEST_F(DialogBuilderTest, StaticTextsShowAmpersandsAsTheirStyleSays) {
    BuildFromTemplate(host, ChildTemplate({
                                {30, "STATIC", kVisible | ss::LEFT, "&Port", 0, 0, 40, 8},
                                {31, "EDIT", kVisible | ws::TABSTOP, "", 40, 0, 40, 14},
                                {32, "STATIC", kVisible | ss::RIGHT | ss::NOPREFIX, "R&D", 0, 20, 40, 8},
                                {33, "STATIC", kVisible | ss::LEFT, "Save && &Quit", 0, 30, 80, 8},
                            }));
    EXPECT_EQ(Item<QLabel>(30).buddy(), &Item<QLineEdit>(31)) << "a mnemonic moves to the next tab stop";
    EXPECT_EQ(Item<QLabel>(32).text(), "R&D");
    EXPECT_TRUE(Item<QLabel>(32).alignment() & Qt::AlignRight);
    EXPECT_EQ(Item<QLabel>(33).text(), "Save & Quit") << "no tab stop follows: the prefix is dropped";
}

TEST_F(DialogBuilderTest, MultiLinePushButtonShowsTwoLines) {
    BuildFromTemplate(host, ChildTemplate({
                                {40, "BUTTON", kVisible | bs::PUSHBUTTON | bs::MULTILINE,
                                 "Line one\nline two", 0, 0, 80, 24},
                                {41, "BUTTON", kVisible | bs::PUSHBUTTON, "Line one", 0, 30, 80, 24},
                                {42, "BUTTON", kVisible | bs::DEFPUSHBUTTON, "OK", 0, 60, 80, 14},
                            }));
    EXPECT_GT(Item<QPushButton>(40).sizeHint().height(), Item<QPushButton>(41).sizeHint().height());
    EXPECT_TRUE(Item<QPushButton>(42).isDefault());
    EXPECT_FALSE(Item<QPushButton>(41).isDefault());
}

TEST_F(DialogBuilderTest, GroupBoxIsAFrameBehindItsSiblingsNotTheirParent) {
    BuildFromTemplate(host, ChildTemplate({
                                {50, "EDIT", kVisible | ws::TABSTOP, "", 20, 20, 50, 14},
                                {51, "BUTTON", kVisible | bs::GROUPBOX, "Frame", 0, 0, 150, 80},
                            }));
    auto& edit = Item<QLineEdit>(50);
    EXPECT_EQ(edit.parentWidget(), &host);
    EXPECT_EQ(host.childAt(edit.geometry().center()), &edit);
}

TEST_F(DialogBuilderTest, HiddenAndDisabledFollowTheStyle) {
    BuildFromTemplate(host, ChildTemplate({
                                {60, "EDIT", ws::CHILD | ws::DISABLED, "", 0, 0, 50, 14},
                                {61, "BUTTON", kVisible, "Push", 0, 20, 50, 14},
                            }));
    EXPECT_TRUE(Item<QLineEdit>(60).isHidden());
    EXPECT_FALSE(Item<QLineEdit>(60).isEnabled());
    EXPECT_FALSE(Item<QPushButton>(61).isHidden());
    EXPECT_EQ(GetDlgItem(host, 999), nullptr);

    // Controls built into a window already on screen show at once.
    QWidget shown;
    shown.show();
    BuildFromTemplate(shown, ChildTemplate({{62, "BUTTON", kVisible, "Push", 0, 0, 50, 14}}));
    EXPECT_TRUE(GetDlgItem(shown, 62)->isVisible());
}

TEST_F(DialogBuilderTest, DialogUnitsScaleByTheFontsBaseUnits) {
    // 7.5, 4.875, 10.5 and 14.625 pixels: each rounded to the nearest, halves away from zero.
    EXPECT_EQ(DialogUnitsToPixels(QSize(6, 13), QRect(5, 3, 7, 9)), QRect(8, 5, 11, 15));

    const QFont font = DialogFont("MS Sans Serif", 8);
    const QSize base = DialogBaseUnits(font);
    EXPECT_EQ(DialogUnitsToPixels(font, QRect(4, 8, 40, 16)),
              QRect(base.width(), base.height(), 10 * base.width(), 2 * base.height()));

    QFont larger = font;
    larger.setPointSize(16);
    EXPECT_GT(DialogBaseUnits(larger).height(), base.height());
    EXPECT_GT(DialogBaseUnits(larger).width(), base.width());
}

// Controls carry no font of their own: each kind, the IP address fields included, shows the template's
// font, and a second template of another size is measured and placed by its own font.
TEST_F(DialogBuilderTest, ControlsShowAndArePlacedByTheirTemplatesFont) {
    for (const int pointSize : {8, 15}) {
        DialogTemplate dialogTemplate = ChildTemplate({
            {70, "STATIC", kVisible, "Label", 4, 4, 60, 8},
            {71, "EDIT", kVisible, "", 4, 16, 60, 12},
            {72, "COMBOBOX", kVisible | cbs::DROPDOWNLIST, "", 4, 32, 60, 40},
            {73, "BUTTON", kVisible | bs::GROUPBOX, "Frame", 70, 4, 80, 60},
            {74, "SysIPAddress32", kVisible, "", 4, 50, 60, 12},
        });
        dialogTemplate.pointSize = pointSize;
        QWidget page;
        BuildFromTemplate(page, dialogTemplate);
        const QFont expected = DialogFont("MS Sans Serif", pointSize);
        for (const int id : {70, 71, 72, 73, 74}) {
            EXPECT_EQ(GetDlgItem(page, id)->font().pointSize(), pointSize) << id;
            EXPECT_EQ(GetDlgItem(page, id)->font().family(), expected.family()) << id;
        }
        EXPECT_EQ(GetDlgItemAs<CIPAddressCtrl>(page, 74)->Field(3)->font().pointSize(), pointSize);
        EXPECT_EQ(GetDlgItem(page, 73)->geometry(), DialogUnitsToPixels(expected, QRect(70, 4, 80, 60)))
            << pointSize;
    }
}

TEST_F(DialogBuilderTest, MissingTemplateFontFallsBackToTheSystemSansAtTheTemplateSize) {
    const QFont font = DialogFont("No Such Face For Talvor", 8);
    EXPECT_EQ(font.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    EXPECT_EQ(font.pointSize(), 8);
}

TEST_F(DialogBuilderTest, PopupTemplateSetsCaptionAndFixedSize) {
    QWidget dialog;
    BuildFromTemplate(
        dialog,
        DialogTemplate{
            901, ws::POPUP | ws::CAPTION | ds::SETFONT, 0, "Caption", "MS Sans Serif", 8, 100, 50, {}, {}});
    EXPECT_EQ(dialog.windowTitle(), "Caption");
    EXPECT_EQ(dialog.size(), DialogUnitsToPixels(dialog.font(), QRect(0, 0, 100, 50)).size());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

// ---- What a screen reader is told -----------------------------------------------------------------

QString AccessibleName(QWidget& control) {
    return QAccessible::queryAccessibleInterface(&control)->text(QAccessible::Name);
}

TEST_F(DialogBuilderTest, ControlsWithoutTextAreNamedAfterTheirStaticText) {
    BuildFromTemplate(host, ChildTemplate({
                                // Fields listed before their labels: the label on the field's line names it.
                                {80, "EDIT", kVisible | ws::TABSTOP, "", 60, 0, 40, 14},
                                {81, "SysIPAddress32", kVisible | ws::TABSTOP, "", 60, 20, 60, 14},
                                {82, "STATIC", kVisible | ss::RIGHT, "Far", 0, 2, 20, 8},
                                {83, "STATIC", kVisible | ss::RIGHT, "Near", 25, 2, 30, 8},
                                {84, "STATIC", kVisible | ss::RIGHT, "Address", 0, 22, 55, 8},
                                {87, "BUTTON", kVisible | bs::GROUPBOX, "", 0, 18, 130, 18},
                                // Otherwise the static text right before, even where another one's
                                // mnemonic moves the focus to the control.
                                {85, "STATIC", kVisible, "&Code", 0, 40, 20, 8},
                                {89, "STATIC", kVisible | ss::NOPREFIX, "R&D", 25, 40, 30, 8},
                                {86, "EDIT", kVisible | ws::TABSTOP, "", 60, 60, 40, 14},
                                // A static text labels only the control right after it.
                                {96, "COMBOBOX", kVisible | cbs::DROPDOWNLIST, "", 110, 60, 40, 40},
                                {97, "BUTTON", kVisible | bs::GROUPBOX, "", 0, 36, 160, 40},
                                {88, "BUTTON", kVisible | ws::TABSTOP, "&Apply", 0, 80, 40, 14},
                            }));
    EXPECT_EQ(AccessibleName(Item<QLineEdit>(80)), "Near");
    EXPECT_EQ(AccessibleName(Item<CIPAddressCtrl>(81)), "Address");
    EXPECT_EQ(AccessibleName(*Item<CIPAddressCtrl>(81).Field(3)), "Address, part 4 of 4");
    EXPECT_EQ(AccessibleName(Item<QLineEdit>(86)), "R&D");
    EXPECT_EQ(AccessibleName(Item<QGroupBox>(87)), "Address") << "an untitled frame shares the label";
    EXPECT_EQ(AccessibleName(Item<QPushButton>(88)), "Apply");
    for (const int id : {96, 97})
        EXPECT_EQ(GetDlgItem(host, id)->accessibleName(), "") << id;

    // A page that relabels a field renames it.
    Item<QLabel>(83).setText("Renamed");
    EXPECT_EQ(AccessibleName(Item<QLineEdit>(80)), "Renamed");
}

TEST_F(DialogBuilderTest, RadioButtonsAreRadioButtonsOfTheSmallestTitledFrameAroundThem) {
    BuildFromTemplate(host,
                      ChildTemplate({
                          {90, "BUTTON", kVisible | bs::GROUPBOX, "Outer", 0, 0, 150, 90},
                          {91, "BUTTON", kVisible | bs::GROUPBOX, "Inner", 5, 10, 100, 40},
                          {92, "BUTTON", kVisible | bs::GROUPBOX, "", 8, 15, 90, 30},
                          {93, "BUTTON", kVisible | ws::GROUP | bs::AUTORADIOBUTTON, "&Fast", 10, 20, 40, 10},
                          {94, "BUTTON", kVisible | bs::AUTORADIOBUTTON, "Slow", 10, 60, 40, 10},
                      }));
    for (const auto& [id, frame] : {std::pair{93, "Inner"}, std::pair{94, "Outer"}}) {
        QAccessibleInterface* radio = QAccessible::queryAccessibleInterface(GetDlgItem(host, id));
        EXPECT_EQ(radio->role(), QAccessible::RadioButton) << id;
        const auto labels = radio->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << id;
        EXPECT_EQ(labels.first().first->text(QAccessible::Name), frame) << id;
    }
    QAccessibleInterface* fast = QAccessible::queryAccessibleInterface(GetDlgItem(host, 93));
    EXPECT_EQ(fast->text(QAccessible::Name), "Fast");
    fast->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(Item<QRadioButton>(93).isChecked());
    EXPECT_TRUE(fast->state().checked);
}

TEST_F(DialogBuilderTest, ADisabledEditIsReadOnlyUntilEnabled) {
    BuildFromTemplate(host, ChildTemplate({{95, "EDIT", kVisible | ws::DISABLED, "16", 0, 0, 40, 14}}));
    auto& edit = Item<QLineEdit>(95);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(&edit)->state().readOnly);
    edit.setEnabled(true);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(&edit)->state().readOnly);
    QTest::keyClicks(&edit, "3");
    EXPECT_EQ(edit.text(), "163");
}

// ---- IP address control ---------------------------------------------------------------------------

class IPAddressCtrlTest : public WidgetTest {
protected:
    std::array<std::uint8_t, 4> Read(int* nonBlank = nullptr) const {
        std::array<std::uint8_t, 4> octets{};
        const int count = control.GetAddress(octets);
        if (nonBlank)
            *nonBlank = count;
        return octets;
    }

    CIPAddressCtrl control;
};

TEST_F(IPAddressCtrlTest, PackedAddressPutsTheFirstOctetInTheFirstField) {
    control.SetAddress(MakeIpAddress(192, 168, 7, 254));
    EXPECT_EQ(control.Field(0)->text(), "192");
    EXPECT_EQ(control.Field(3)->text(), "254");
    int nonBlank = 0;
    EXPECT_EQ(Read(&nonBlank), (std::array<std::uint8_t, 4>{192, 168, 7, 254}));
    EXPECT_EQ(nonBlank, 4);
}

TEST_F(IPAddressCtrlTest, BlankFieldsReadZeroAndAreNotCounted) {
    control.SetAddress(MakeIpAddress(10, 20, 30, 40));
    control.Field(1)->clear();
    control.Field(3)->clear();
    int nonBlank = 0;
    EXPECT_EQ(Read(&nonBlank), (std::array<std::uint8_t, 4>{10, 0, 30, 0}));
    EXPECT_EQ(nonBlank, 2);
    control.Field(0)->clear();
    control.Field(2)->clear();
    EXPECT_EQ(Read(&nonBlank), (std::array<std::uint8_t, 4>{}));
    EXPECT_EQ(nonBlank, 0);
}

TEST_F(IPAddressCtrlTest, FieldsAcceptOnlyNumbersUpTo255) {
    QTest::keyClicks(control.Field(0), "25");
    QTest::keyClicks(control.Field(0), "6");
    EXPECT_EQ(control.Field(0)->text(), "25") << "256 is refused";
    QTest::keyClicks(control.Field(1), "x-7");
    EXPECT_EQ(control.Field(1)->text(), "7");
}

TEST_F(IPAddressCtrlTest, DotAndThirdDigitMoveToTheNextField) {
    control.show();
    control.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&control));
    control.Field(0)->setFocus();
    for (char key : std::string("10.2003"))
        QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_EQ(Read(), (std::array<std::uint8_t, 4>{10, 200, 3, 0}));
}

} // namespace
