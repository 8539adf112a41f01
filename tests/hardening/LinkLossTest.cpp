#include "tests/app/DialogFixture.h"

#include <QProcess>

#include <thread>

// The controller's port failing in the ways a real line fails: the device gone in the middle of an
// exchange, never there, or held by another program. The user hears the link's message, the dialog
// falls back to None, and once the port is back the next choice works.
namespace {

constexpr const char* kReadFailedText =
    "Could not read DeviceNet attributes from TALVOR. Make sure that the device is connected!";

class LinkLossTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        sim.Preload(NetworkDeviceNet, CNetAttributes(NetworkDeviceNet).BuildBlock());
    }

    void ExpectNoneView() const {
        EXPECT_EQ(theApp.m_nNetworkType, NetworkNone);
        EXPECT_TRUE(dlg->m_rbNone->isChecked());
        EXPECT_FALSE(dlg->m_rbDeviceNet->isChecked());
        EXPECT_FALSE(dlg->m_pFieldbusPage->isVisible());
        EXPECT_FALSE(Item(IDC_BTN_PROGRAM)->isVisible());
    }

    void ExpectDeviceNetWorksAgain() {
        recorder.boxes.clear();
        Click(IDC_RB_DEVICENET);
        EXPECT_TRUE(recorder.boxes.empty());
        EXPECT_EQ(theApp.m_nNetworkType, NetworkDeviceNet);
        EXPECT_TRUE(dlg->m_pFieldbusPage->isVisible());
    }
};

TEST_F(LinkLossTest, ControllerVanishingMidReadIsDataNotCarriedThenTheReadFailure) {
    auto vanishing = std::make_unique<ControllerSimulator>();
    vanishing->Preload(NetworkDeviceNet, CNetAttributes(NetworkDeviceNet).BuildBlock());
    vanishing->InjectFault(SimFault::NoReply, 1, 0, MSGCODE_READ_NET_ATTR);
    vanishing->Start();
    ::setenv("TALVOR_COM1", vanishing->DevicePath().c_str(), 1);
    // Once the read has arrived and goes unanswered, the controller's side of the line closes.
    std::thread unplug([&vanishing] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (vanishing->Requests().size() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        vanishing.reset();
    });
    Click(IDC_RB_DEVICENET);
    unplug.join();

    ASSERT_EQ(recorder.boxes.size(), 2u);
    // Not the system's "Input/output error" (on Windows "Access is denied.", which reads like a port in use).
    EXPECT_EQ(recorder.boxes[0].text, "Error in transmitting data.");
    EXPECT_EQ(recorder.boxes[1].text, kReadFailedText);
    ExpectNoneView();

    UseComPort(0);
    ExpectDeviceNetWorksAgain();
}

TEST_F(LinkLossTest, MissingDeviceIsTheOpenFailureAlone) {
    ::setenv("TALVOR_COM1", "/dev/talvor-unplugged-adapter", 1);
    Click(IDC_RB_DEVICENET);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"Error C01_1:  Unable to open communication port."});
    ExpectNoneView();
    EXPECT_TRUE(sim.Requests().empty());

    UseComPort(0);
    ExpectDeviceNetWorksAgain();
}

TEST_F(LinkLossTest, DeviceHeldByAnotherProgramIsThePortInUseFailure) {
    QProcess holder;
    holder.start(QStringLiteral(TALVOR_PORT_HOLDER), {QString::fromStdString(sim.DevicePath())});
    ASSERT_TRUE(holder.waitForReadyRead(5000)) << holder.readAllStandardError().toStdString();
    ASSERT_EQ(holder.readLine().trimmed(), "held");

    Click(IDC_RB_DEVICENET);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"Error C01_3:  communication port is being used by some "
                                               "other application, Access denied."});
    ExpectNoneView();

    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(5000));
    ExpectDeviceNetWorksAgain();
}

} // namespace
