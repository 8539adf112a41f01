#include "tests/app/DialogFixture.h"
#include "tests/support/TestNames.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>

namespace {

// What a screen reader announces a control as. Qt names a drop-down list on AT-SPI by the entry it
// shows; the list's label comes over its label relation, which screen readers there announce first.
QString AnnouncedName(QAccessibleInterface& control) {
    if (control.role() == QAccessible::ComboBox) {
        const auto labels = control.relations(QAccessible::Label);
        return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
    }
    return control.text(QAccessible::Name);
}

std::string AnnouncedName(QWidget* widget) {
    return AnnouncedName(*QAccessible::queryAccessibleInterface(widget)).toStdString();
}

QAccessible::Role ExpectedRole(QWidget* control) {
    if (qobject_cast<QRadioButton*>(control))
        return QAccessible::RadioButton;
    if (qobject_cast<QPushButton*>(control))
        return QAccessible::Button;
    if (qobject_cast<QLabel*>(control))
        return QAccessible::StaticText;
    if (qobject_cast<QGroupBox*>(control) || qobject_cast<CIPAddressCtrl*>(control))
        return QAccessible::Grouping;
    if (qobject_cast<QComboBox*>(control))
        return QAccessible::ComboBox;
    if (qobject_cast<QLineEdit*>(control))
        return QAccessible::EditableText;
    return QAccessible::NoRole;
}

struct AccessibleView {
    NetworkType type;
    int radioId;
    std::vector<std::string> tabOrder;     // announced names, from the Ethernet radio button on
    std::vector<std::string> readOnly;     // showing fields the user cannot change
    std::vector<std::string> addressNames; // the fields of the showing address controls
};

std::vector<std::string> AddressFieldNames() {
    std::vector<std::string> names;
    for (const char* address : {"IP Address", "Subnet Mask", "Gateway Address"})
        for (int part = 1; part <= 4; ++part)
            names.push_back(std::string(address) + ", part " + std::to_string(part) + " of 4");
    return names;
}

class AccessibleViewTest : public DialogTest, public testing::WithParamInterface<AccessibleView> {
protected:
    // Template controls showing in the dialog and its visible page: frames first, then template order.
    std::vector<QWidget*> ShowingControls() const {
        std::vector<QWidget*> controls;
        for (QWidget* host : {static_cast<QWidget*>(dlg.get()), static_cast<QWidget*>(dlg->m_pFieldbusPage),
                              static_cast<QWidget*>(dlg->m_pEthernetPage)}) {
            if (!host->isVisible())
                continue;
            for (QWidget* child : host->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (child->isVisible() && !child->isWindow() && !qobject_cast<CAttributePage*>(child))
                    controls.push_back(child);
        }
        return controls;
    }

    // Presses Tab from the first radio button until the focus comes back to it.
    std::vector<std::string> TabOrder() const {
        std::vector<std::string> names;
        QWidget* first = Item(IDC_RB_ETHERNET);
        first->setFocus(Qt::TabFocusReason);
        for (QWidget* focus = first; names.size() < 50;) {
            names.push_back(AnnouncedName(focus));
            QTest::keyClick(focus, Qt::Key_Tab);
            focus = QApplication::focusWidget();
            if (!focus || focus == first)
                break;
        }
        return names;
    }
};

TEST_P(AccessibleViewTest, EveryShowingControlIsAnnouncedByWhatItIsFor) {
    const AccessibleView& view = GetParam();
    PreloadFieldbus(NetworkDeviceNet);
    PreloadFieldbus(NetworkProfibus);
    Click(view.radioId);
    ASSERT_EQ(theApp.m_nNetworkType, view.type);
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));

    std::vector<std::string> readOnly, addressNames;
    for (QWidget* control : ShowingControls()) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        const std::string name = AnnouncedName(*accessible).toStdString();
        const std::string context = name + " (" + control->objectName().toStdString() + ")";
        EXPECT_EQ(accessible->role(), ExpectedRole(control)) << context;
        // The frame beside the COM list: no static text labels it, so it borrows no name.
        if (control == Item(IDC_GRP_ACTIONS)) {
            EXPECT_EQ(name, "") << context;
        } else {
            EXPECT_FALSE(name.empty()) << context;
            EXPECT_NE(name, accessible->text(QAccessible::Value).toStdString()) << context;
        }
        if (accessible->state().readOnly && accessible->role() == QAccessible::EditableText)
            readOnly.push_back(name);
        if (accessible->role() == QAccessible::RadioButton) {
            const auto group = accessible->relations(QAccessible::Label);
            ASSERT_EQ(group.size(), 1) << context;
            EXPECT_EQ(group.first().first->text(QAccessible::Name), "Network Type");
        }
        if (auto* address = qobject_cast<CIPAddressCtrl*>(control))
            for (int part = 0; part < CIPAddressCtrl::FieldCount; ++part)
                addressNames.push_back(AnnouncedName(address->Field(part)));
    }
    EXPECT_EQ(readOnly, view.readOnly);
    EXPECT_EQ(addressNames, view.addressNames);
    EXPECT_EQ(TabOrder(), view.tabOrder);
}

const std::string kProgramEthernet = "Program Ethernet Attributes\n into TALVOR";
const std::string kProgramDeviceNet = "Program DeviceNet Attributes\n into TALVOR";
const std::string kProgramProfibus = "Program Profibus Attributes\n into TALVOR";

INSTANTIATE_TEST_SUITE_P(
    Views, AccessibleViewTest,
    testing::Values(AccessibleView{NetworkNone,
                                   IDC_RB_NONE,
                                   {"Ethernet", "DeviceNet", "Profibus - DP", "Use", "None", "Help"},
                                   {},
                                   {}},
                    AccessibleView{NetworkEthernet,
                                   IDC_RB_ETHERNET,
                                   {"Ethernet", "DeviceNet", "Profibus - DP", kProgramEthernet, "Use",
                                    "Disable Ethernet Attributes", "None", "Help", "IP Address, part 1 of 4",
                                    "Subnet Mask, part 1 of 4", "Gateway Address, part 1 of 4"},
                                   {},
                                   AddressFieldNames()},
                    AccessibleView{NetworkDeviceNet,
                                   IDC_RB_DEVICENET,
                                   {"Ethernet", "DeviceNet", "Profibus - DP", kProgramDeviceNet, "Use",
                                    "None", "Help", "MAC ID (0-63)", "Baud Rate"},
                                   {"Consumed words", "Produced words"},
                                   {}},
                    AccessibleView{NetworkProfibus,
                                   IDC_RB_PROFIBUS,
                                   {"Ethernet", "DeviceNet", "Profibus - DP", kProgramProfibus, "Use", "None",
                                    "Help", "Node Address (1-125)"},
                                   {"Input words", "Output words"},
                                   {}}),
    [](const auto& info) { return NetworkTypeName(info.param.type); });

TEST_F(DialogTest, ComListKeepsItsTipAsItsDescription) {
    QComboBox* list = dlg->m_cbComPort;
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), list->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(list, &hover);
    const QString tip = list->toolTip();
    ASSERT_FALSE(tip.isEmpty());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(list)->text(QAccessible::Description), tip);
}

} // namespace
