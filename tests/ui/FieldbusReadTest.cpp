#include "platform/DialogBuilder.h"
#include "res/FieldbusPageTemplate.h"
#include "sim/ControllerSimulator.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestNames.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/FieldbusPage.h"

#include <QComboBox>
#include <QLineEdit>

#include <cstdlib>

namespace {

constexpr const char* kDeviceNetReadFailed =
    "Could not read DeviceNet attributes from TALVOR. Make sure that the device is connected!";
constexpr const char* kProfibusReadFailed =
    "Could not read Profibus attributes from TALVOR. Make sure that the device is connected!";

// The fieldbus page reading through theApp's link from an in-process simulated controller on Com1.
class FieldbusReadTest : public UiTest, public testing::WithParamInterface<NetworkType> {
protected:
    void SetUp() override {
        UiTest::SetUp();
        sim.Start();
        com1.emplace("TALVOR_COM1", QByteArray::fromStdString(sim.DevicePath()));
        theApp.m_nComPort = 0;
        theApp.m_nNetworkType = GetParam();
    }

    static const char* ReadFailedText() {
        return GetParam() == NetworkDeviceNet ? kDeviceNetReadFailed : kProfibusReadFailed;
    }

    // A record of the type with values unlike its defaults, as the controller would hold it.
    static CNetAttributes ControllerRecord() {
        CNetAttributes record(GetParam());
        record.m_nTimeout = 20;
        record.m_nPollTime = 5;
        record.m_nInputWords = 40;
        record.m_nOutputWords = 60;
        record.m_nNodeAddress = 33;
        record.m_byBaudRate = 2;
        return record;
    }

    QLineEdit& Edit(int id) { return *GetDlgItemAs<QLineEdit>(page, id); }

    ControllerSimulator sim;
    std::optional<ScopedEnvironmentVariable> com1;
    QWidget parent;
    CFieldbusPage page{&parent};
};

TEST_P(FieldbusReadTest, SuccessfulReadFillsTheRecordAndThePageShowsIt) {
    sim.Preload(GetParam(), ControllerRecord().BuildBlock());
    ByteString reply;
    ASSERT_TRUE(page.ReadFromController(reply));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(reply, ControllerRecord().BuildBlock());

    const CNetAttributes& record = GetCurrentAttributes();
    EXPECT_EQ(record.m_nNodeAddress, 33);
    EXPECT_EQ(record.m_nInputWords, 40);
    EXPECT_EQ(record.m_nOutputWords, 60);
    EXPECT_EQ(record.m_nTimeout, 20);
    EXPECT_EQ(record.m_nPollTime, 5);

    page.ShowRecord();
    EXPECT_EQ(Edit(IDC_ED_NODE_ADDRESS).text(), "33");
    EXPECT_EQ(Edit(IDC_ED_INPUT_WORDS).text(), "40");
    EXPECT_EQ(Edit(IDC_ED_OUTPUT_WORDS).text(), "60");
    auto* baudRate = GetDlgItemAs<QComboBox>(page, IDC_CB_BAUD_RATE);
    if (GetParam() == NetworkDeviceNet) {
        EXPECT_EQ(baudRate->currentText(), "500 kb/s");
        EXPECT_FALSE(baudRate->isHidden());
    } else {
        EXPECT_TRUE(baudRate->isHidden());
    }
}

TEST_P(FieldbusReadTest, EmptyBlockMeansNotProgrammedAndLeavesTheRecord) {
    const CNetAttributes before = GetCurrentAttributes();
    ByteString reply;
    EXPECT_FALSE(page.ReadFromController(reply));
    EXPECT_EQ(reply, EmptyAttributeBlock());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains("attributes are not currently programmed in TALVOR"))
        << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains('\n'));
    EXPECT_EQ(boxes[0].type, mb::ICONEXCLAMATION);
    EXPECT_EQ(GetCurrentAttributes().BuildBlock(), before.BuildBlock());
}

TEST_P(FieldbusReadTest, ReplyTooShortToDecodeIsAFailedRead) {
    const CNetAttributes before = GetCurrentAttributes();
    ByteString shortBlock = ControllerRecord().BuildBlock();
    shortBlock.resize(before.ParsedLength() - 1);
    sim.Preload(GetParam(), shortBlock);

    ByteString reply;
    EXPECT_FALSE(page.ReadFromController(reply));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, ReadFailedText());
    EXPECT_EQ(boxes[0].type, mb::ICONEXCLAMATION);
    EXPECT_EQ(GetCurrentAttributes().BuildBlock(), before.BuildBlock());
}

TEST_P(FieldbusReadTest, StatusIdFailureShowsOnlyTheLinksMessage) {
    const ScopedEnvironmentVariable missingDevice("TALVOR_COM1", "/nonexistent/talvor-ui-test");
    ByteString reply;
    EXPECT_FALSE(page.ReadFromController(reply));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text, ReadFailedText());
    EXPECT_EQ(boxes[0].type & 0xF0u, mb::ICONINFORMATION);
}

TEST_P(FieldbusReadTest, ReadFailureShowsTheLinksMessageThenThePages) {
    sim.Preload(GetParam(), ControllerRecord().BuildBlock());
    sim.InjectFault(SimFault::BadChecksum, 1, 0, 43);
    const CNetAttributes before = GetCurrentAttributes();
    ByteString reply;
    EXPECT_FALSE(page.ReadFromController(reply));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].type & 0xF0u, mb::ICONINFORMATION);
    EXPECT_EQ(boxes[1].text, ReadFailedText());
    EXPECT_EQ(boxes[1].type, mb::ICONEXCLAMATION);
    EXPECT_EQ(GetCurrentAttributes().BuildBlock(), before.BuildBlock());
}

TEST_P(FieldbusReadTest, AsksForStatusIdThenTheAttributesOfTheCurrentType) {
    sim.Preload(GetParam(), ControllerRecord().BuildBlock());
    ByteString reply;
    ASSERT_TRUE(page.ReadFromController(reply));
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].msgCode, MSGCODE_STATUS_ID);
    EXPECT_EQ(requests[1].msgCode, MSGCODE_READ_NET_ATTR);
    EXPECT_EQ(requests[1].networkType, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Types, FieldbusReadTest, testing::Values(NetworkDeviceNet, NetworkProfibus),
                         [](const testing::TestParamInfo<NetworkType>& info) {
                             return NetworkTypeName(info.param);
                         });

} // namespace
