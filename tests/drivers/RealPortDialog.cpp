// The main dialog on real serial drivers, run inside the driver-test guest (not part of the suite):
// Com1 is the 16550 UART ttyS1 and Com2 the FTDI adapter ttyUSB0, with a controller simulator on the
// host at the far end of each. Lines on standard output tell the guest's script where a test stands,
// so that it can pull or plug the adapter at that point.
#include "app/NetConfigApp.h"
#include "platform/DialogBuilder.h"
#include "res/MainDialogTemplate.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "tests/support/BoxRecorder.h"
#include "tests/support/UtilityMessages.h"
#include "ui/FieldbusPage.h"
#include "ui/NetConfigDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>

namespace {

constexpr int kAddressEdit = 12006;
constexpr char kAdapter[] = "/dev/ttyUSB0";

bool WaitForPath(const std::filesystem::path& path, bool present) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::filesystem::exists(path) != present) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool WaitForDevice(bool present) {
    return WaitForPath(kAdapter, present);
}

// The script's go-ahead: a file it makes once it has used the port itself.
bool WaitForGoAhead() {
    return WaitForPath("go-ahead", true);
}

void Say(const char* where) {
    std::cout << "dialog: " << where << std::endl;
}

class RealPortDialog : public testing::Test {
protected:
    void SetUp() override {
        dlg = std::make_unique<CNetConfigDlg>();
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }

    // As a user picks it with the keyboard, so the dialog takes the choice.
    void Choose(const QString& port) {
        dlg->m_cbComPort->setFocus();
        QTest::keyClick(dlg->m_cbComPort, Qt::Key_Home);
        while (dlg->m_cbComPort->currentText() != port && dlg->m_cbComPort->currentIndex() < 7)
            QTest::keyClick(dlg->m_cbComPort, Qt::Key_Down);
        ASSERT_EQ(dlg->m_cbComPort->currentText(), port);
    }

    void Click(int id) { QTest::mouseClick(GetDlgItemAs<QAbstractButton>(*dlg, id), Qt::LeftButton); }

    // Reads the DeviceNet block, as choosing DeviceNet does: the type is left first if it is chosen.
    void ReadDeviceNet() {
        Click(IDC_RB_PROFIBUS);
        Click(IDC_RB_DEVICENET);
    }

    QString MacId() const { return GetDlgItemAs<QLineEdit>(*dlg->m_pFieldbusPage, kAddressEdit)->text(); }

    QString Com2Tip() {
        dlg->m_cbComPort->showPopup();
        dlg->m_cbComPort->hidePopup();
        return dlg->m_cbComPort->itemData(1, Qt::ToolTipRole).toString();
    }

    BoxRecorder recorder;
    std::unique_ptr<CNetConfigDlg> dlg;
};

TEST_F(RealPortDialog, ReadsDeviceNetAndProgramsMacIdThroughCom2) {
    Choose("Com2");
    ReadDeviceNet();
    ASSERT_TRUE(recorder.boxes.empty()) << recorder.boxes[0].text.toStdString();
    EXPECT_EQ(MacId(), "32");
    auto* mac = GetDlgItemAs<QLineEdit>(*dlg->m_pFieldbusPage, kAddressEdit);
    mac->selectAll();
    QTest::keyClicks(mac, "41");
    Click(IDC_BTN_PROGRAM);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "Devicenet attributes successfully programmed.");
}

// The script pulls the adapter while the read is under way, plugs it back once told, and gives the
// go-ahead once its own request has been answered.
TEST_F(RealPortDialog, SaysTheAdapterIsLostAndWorksOnceItIsBack) {
    Choose("Com2");
    Say("reading");
    ReadDeviceNet();
    ASSERT_FALSE(recorder.boxes.empty());
    EXPECT_EQ(recorder.boxes[0].text, LoadResourceString(IDS_ERR_TRANSMIT));
    ASSERT_TRUE(dlg->isVisible());
    Say("lost");
    ASSERT_TRUE(WaitForDevice(false));
    ASSERT_TRUE(WaitForDevice(true));
    ASSERT_TRUE(WaitForGoAhead());
    recorder.boxes.clear();
    ReadDeviceNet();
    EXPECT_TRUE(recorder.boxes.empty()) << recorder.boxes[0].text.toStdString();
    EXPECT_EQ(MacId(), "20");
    Say("back");
}

// Started with no adapter; the script plugs it in once told.
TEST_F(RealPortDialog, ReachesAnAdapterPluggedInWhileOpen) {
    Choose("Com2");
    EXPECT_TRUE(Com2Tip().startsWith("No serial port is behind Com2")) << Com2Tip().toStdString();
    Say("open");
    ASSERT_TRUE(WaitForDevice(true));
    const QString tip = Com2Tip();
    EXPECT_TRUE(tip.contains("/dev/ttyUSB0") && tip.contains("TLV00042")) << tip.toStdString();
    ReadDeviceNet();
    EXPECT_TRUE(recorder.boxes.empty()) << recorder.boxes[0].text.toStdString();
    EXPECT_EQ(MacId(), "20");
}

// Another program holds Com1.
TEST_F(RealPortDialog, SaysCom1IsInUse) {
    Choose("Com1");
    ReadDeviceNet();
    ASSERT_FALSE(recorder.boxes.empty());
    EXPECT_EQ(recorder.boxes[0].text, LoadResourceString(IDS_ERR_PORT_IN_USE));
}

} // namespace
