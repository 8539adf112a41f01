#include "seriallink/serial/PortName.h"
#include "tests/app/DialogFixture.h"
#include "tests/support/LinkMessageTexts.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestNames.h"
#include "ui/ComPortList.h"
#include "ui/SystemMenu.h"

#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHelpEvent>
#include <QMenu>
#include <QTimer>

#include <array>

namespace {

using MainDialogTest = DialogTest;

TEST_F(MainDialogTest, FreshStartShowsTheNoneViewOnCom1) {
    EXPECT_TRUE(dlg->m_rbNone->isChecked());
    for (QRadioButton* other : {dlg->m_rbEthernet, dlg->m_rbDeviceNet, dlg->m_rbProfibus})
        EXPECT_FALSE(other->isChecked()) << other->text().toStdString();
    EXPECT_FALSE(dlg->m_pFieldbusPage->isVisible());
    EXPECT_FALSE(dlg->m_pEthernetPage->isVisible());
    EXPECT_FALSE(Item(IDC_BTN_PROGRAM)->isVisible());
    EXPECT_FALSE(Item(IDC_BTN_DISABLE_ETHERNET)->isVisible());
    EXPECT_FALSE(dlg->m_grpPageFrame->isVisible());
    EXPECT_EQ(dlg->m_cbComPort->currentText(), "Com1");
    EXPECT_EQ(dlg->m_cbComPort->count(), 8);
    EXPECT_EQ(dlg->m_cbHiddenSel1->currentText(), "1");
    EXPECT_EQ(dlg->m_cbHiddenSel2->currentText(), "1");
    EXPECT_EQ(dlg->windowTitle(), "TALVOR Net Config");
    EXPECT_FALSE(dlg->windowIcon().isNull());
    EXPECT_TRUE(sim.Requests().empty());
}

TEST_F(MainDialogTest, BothPagesLieExactlyOnThePageFrame) {
    EXPECT_EQ(dlg->m_pFieldbusPage->geometry(), dlg->m_grpPageFrame->geometry());
    EXPECT_EQ(dlg->m_pEthernetPage->geometry(), dlg->m_grpPageFrame->geometry());
}

TEST_F(MainDialogTest, AboutItemFollowsASeparatorInTheBackgroundMenu) {
    CSystemMenu* menu = CSystemMenu::GetSystemMenu(dlg.get());
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->Menu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0]->isSeparator());
    EXPECT_EQ(actions[1]->text(), "&About TALVOR_EthernetConfig...");

    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 150), dlg->mapToGlobal(QPoint(5, 150)));
    QApplication::sendEvent(dlg.get(), &rightClick);
    EXPECT_TRUE(menu->Menu()->isVisible());
    menu->Menu()->hide();
}

TEST_F(MainDialogTest, AboutCommandRunsTheAboutBoxAndLeavesTheStateAlone) {
    Click(IDC_RB_ETHERNET);
    QString shownTitle;
    // Dies with the test, so a box that never comes leaves no timer behind holding `shownTitle`.
    QObject context;
    QTimer::singleShot(0, &context, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            shownTitle = box->windowTitle();
            static_cast<QDialog*>(box)->reject();
        }
    });
    CSystemMenu::GetSystemMenu(dlg.get())->Menu()->actions()[1]->trigger();
    EXPECT_EQ(shownTitle, "About TALVOR_EthernetConfig");
    EXPECT_EQ(theApp.m_nNetworkType, NetworkEthernet);
    EXPECT_TRUE(dlg->m_pEthernetPage->isVisible());
    EXPECT_EQ(dlg->m_cbComPort->currentIndex(), 0);
}

struct ViewCase {
    NetworkType type;
    int radioId;
    bool fieldbusPage;
    bool ethernetPage;
    bool disableButton;
    const char* programText; // nullptr: Program hidden
    std::vector<int> requests;
};

class ViewTest : public DialogTest, public testing::WithParamInterface<ViewCase> {};

TEST_P(ViewTest, ShowsThePageAndButtonsOfTheType) {
    const ViewCase& view = GetParam();
    PreloadFieldbus(NetworkDeviceNet);
    PreloadFieldbus(NetworkProfibus);
    if (view.type == NetworkNone)
        Click(IDC_RB_PROFIBUS); // None is a view to return to
    sim.ClearRequests();

    Click(view.radioId);

    EXPECT_EQ(theApp.m_nNetworkType, view.type);
    for (int radio : {IDC_RB_NONE, IDC_RB_ETHERNET, IDC_RB_DEVICENET, IDC_RB_PROFIBUS})
        EXPECT_EQ(Item<QRadioButton>(radio)->isChecked(), radio == view.radioId) << radio;
    EXPECT_EQ(dlg->m_pFieldbusPage->isVisible(), view.fieldbusPage);
    EXPECT_EQ(dlg->m_pEthernetPage->isVisible(), view.ethernetPage);
    EXPECT_EQ(Item(IDC_BTN_DISABLE_ETHERNET)->isVisible(), view.disableButton);
    EXPECT_EQ(Item(IDC_BTN_PROGRAM)->isVisible(), view.programText != nullptr);
    if (view.programText) {
        EXPECT_EQ(Item<QPushButton>(IDC_BTN_PROGRAM)->text(), view.programText);
    }
    for (int shared : {IDC_GRP_ACTIONS, IDC_ST_USE, IDC_CB_COMPORT})
        EXPECT_TRUE(Item(shared)->isVisible()) << shared;
    EXPECT_FALSE(dlg->m_grpPageFrame->isVisible());
    EXPECT_EQ(RequestCodes(), view.requests);
    EXPECT_TRUE(recorder.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Types, ViewTest,
                         testing::Values(ViewCase{NetworkNone, IDC_RB_NONE, false, false, false, nullptr, {}},
                                         ViewCase{NetworkEthernet,
                                                  IDC_RB_ETHERNET,
                                                  false,
                                                  true,
                                                  true,
                                                  "Program Ethernet Attributes\n into TALVOR",
                                                  {}},
                                         ViewCase{NetworkDeviceNet,
                                                  IDC_RB_DEVICENET,
                                                  true,
                                                  false,
                                                  false,
                                                  "Program DeviceNet Attributes\n into TALVOR",
                                                  {18, 43}},
                                         ViewCase{NetworkProfibus,
                                                  IDC_RB_PROFIBUS,
                                                  true,
                                                  false,
                                                  false,
                                                  "Program Profibus Attributes\n into TALVOR",
                                                  {18, 43}}),
                         [](const auto& info) { return NetworkTypeName(info.param.type); });

// A failed read on entering a fieldbus view is told once, by whoever found it, and the dialog falls
// back to None with the fieldbus button cleared.
struct FallBackCase {
    const char* name;
    NetworkType type;
    int radioId;
    bool controllerSilent; // else the controller answers with the empty block
    const char* message;
};

class FallBackTest : public DialogTest, public testing::WithParamInterface<FallBackCase> {};

TEST_P(FallBackTest, ReportsOnceAndFallsBackToNone) {
    const FallBackCase& fallBack = GetParam();
    if (fallBack.controllerSilent) {
        UseSimulatedLine(); // the time-out costs no real time
        sim.InjectFault(SimFault::NoReply);
    }
    Click(IDC_RB_ETHERNET);

    Click(fallBack.radioId);

    EXPECT_EQ(BoxTexts(), std::vector<QString>{fallBack.message});
    EXPECT_EQ(theApp.m_nNetworkType, NetworkNone);
    EXPECT_TRUE(dlg->m_rbNone->isChecked());
    EXPECT_FALSE(Item<QRadioButton>(fallBack.radioId)->isChecked());
    EXPECT_FALSE(dlg->m_pFieldbusPage->isVisible());
    EXPECT_FALSE(dlg->m_pEthernetPage->isVisible());
    EXPECT_FALSE(Item(IDC_BTN_PROGRAM)->isVisible());
    const CNetAttributes& record =
        fallBack.type == NetworkDeviceNet ? theApp.m_DeviceNetAttr : theApp.m_ProfibusAttr;
    EXPECT_EQ(record.BuildBlock(), CNetAttributes(fallBack.type).BuildBlock());
}

INSTANTIATE_TEST_SUITE_P(
    Reads, FallBackTest,
    testing::Values(
        FallBackCase{"DeviceNetNoController", NetworkDeviceNet, IDC_RB_DEVICENET, true, TimeOutText},
        FallBackCase{"ProfibusNoController", NetworkProfibus, IDC_RB_PROFIBUS, true, TimeOutText},
        FallBackCase{
            "DeviceNetNotProgrammed", NetworkDeviceNet, IDC_RB_DEVICENET, false,
            "DeviceNet attributes are not currently programmed in TALVOR. This utility can only set "
            "the MAC ID and the Baud Rate for DeviceNet.\nOther attributes (such as Consumed Words and "
            "Produced Words) need to be programmed using the TALVOR software."},
        FallBackCase{
            "ProfibusNotProgrammed", NetworkProfibus, IDC_RB_PROFIBUS, false,
            "Profibus attributes are not currently programmed in TALVOR. This utility can only be used "
            "to set the Node Address for Profibus.\nOther attributes (such as Input Words and Output "
            "Words) need to be programmed using the TALVOR software."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainDialogTest, ClickingDeviceNetAgainReReadsAndDropsUnsavedEdits) {
    sim.Preload(NetworkDeviceNet,
                ByteString{0x00, 0x0C, 0x02, 0x1E, 0x00, 0x00, 0xFE, 0x00, 0x10, 0x00, 0x05, 0x01});
    Click(IDC_RB_DEVICENET);
    ASSERT_EQ(FieldbusItem<QLineEdit>(kAddressEdit)->text(), "5");
    Retype(FieldbusItem<QLineEdit>(kAddressEdit), "42");
    sim.ClearRequests();

    Click(IDC_RB_DEVICENET);

    EXPECT_EQ(RequestCodes(), (std::vector<int>{18, 43}));
    EXPECT_EQ(FieldbusItem<QLineEdit>(kAddressEdit)->text(), "5");
    EXPECT_EQ(FieldbusItem<QLineEdit>(kInputWordsEdit)->text(), "127");
    EXPECT_EQ(FieldbusItem<QComboBox>(kBaudRateList)->currentText(), "250 kb/s");
    EXPECT_TRUE(dlg->m_rbDeviceNet->isChecked());
}

TEST_F(MainDialogTest, EthernetViewShowsTheRecordAsLastStoredEvenAfterAFailedProgram) {
    Click(IDC_RB_ETHERNET);
    Retype(IpAddress()->Field(0), "10");
    UseSimulatedLine(); // the time-out costs no real time
    sim.InjectFault(SimFault::NoReply);
    Click(IDC_BTN_PROGRAM); // stores 10.168.1.1, then the status-id request times out
    ASSERT_EQ(BoxTexts(), std::vector<QString>{TimeOutText});
    Retype(IpAddress()->Field(3), "99"); // never stored

    Click(IDC_RB_NONE);
    Click(IDC_RB_ETHERNET);

    std::array<std::uint8_t, 4> shown{};
    IpAddress()->GetAddress(shown);
    EXPECT_EQ(shown, (std::array<std::uint8_t, 4>{10, 168, 1, 1}));
}

TEST_F(MainDialogTest, ShowingTheWindowReselectsTheStoredComPort) {
    dlg->hide();
    theApp.m_nComPort = 4;
    dlg->show();
    EXPECT_EQ(dlg->m_cbComPort->currentText(), "Com5");
}

TEST_F(MainDialogTest, ComPortTipsNameTheDeviceEachEntryReachesNow) {
    auto* list = dynamic_cast<CComPortList*>(dlg->m_cbComPort);
    ASSERT_NE(list, nullptr);
    const auto tip = [list](int index) {
        return list->itemData(index, Qt::ToolTipRole).toString().toStdString();
    };
    // Mapped while the dialog is open: the next look at the list shows it, on an entry and on the list
    // itself.
    const ScopedEnvironmentVariable com8("TALVOR_COM8", " /nonexistent ");
    list->showPopup();
    list->hidePopup();
    EXPECT_EQ(tip(0), "Com1 reaches " + sim.DevicePath() + " (set by TALVOR_COM1).");
    EXPECT_EQ(tip(7), "Com8 reaches /nonexistent (set by TALVOR_COM8), which does not exist.");
    list->setCurrentIndex(7);
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), list->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(list, &hover);
    EXPECT_EQ(list->toolTip().toStdString(), tip(7));
    EXPECT_EQ(list->itemText(7), "Com8");
}

// Keys reaching the dialog: Esc always ends it, Enter ends it unless a push button has the focus, in
// which case that button is pressed.
struct KeyCase {
    const char* name;
    Qt::Key key;
    int focusId;
    bool closes;
};

class KeyTest : public DialogTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeyTest, ClosesOrPressesTheFocusedButton) {
    QWidget* focus = Item(GetParam().focusId);
    focus->setFocus();
    QTest::keyClick(focus, GetParam().key);
    EXPECT_EQ(dlg->isVisible(), !GetParam().closes);
    // The Help button's press shows the missing-help message.
    EXPECT_EQ(recorder.boxes.size(),
              GetParam().focusId == IDC_BTN_HELP && GetParam().key != Qt::Key_Escape ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyTest,
                         testing::Values(KeyCase{"EscOnRadio", Qt::Key_Escape, IDC_RB_NONE, true},
                                         KeyCase{"EscOnHelpButton", Qt::Key_Escape, IDC_BTN_HELP, true},
                                         KeyCase{"EnterOnRadio", Qt::Key_Return, IDC_RB_NONE, true},
                                         KeyCase{"KeypadEnterOnComList", Qt::Key_Enter, IDC_CB_COMPORT, true},
                                         KeyCase{"EnterOnHelpButton", Qt::Key_Return, IDC_BTN_HELP, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainDialogTest, EscInsideAPageKeepsTheDialogOpen) {
    Click(IDC_RB_ETHERNET);
    QLineEdit* field = IpAddress()->Field(1);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Escape);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(dlg->isVisible());
}

} // namespace
