// The link on real COM ports of the system. scripts/windows maps each port to a controller simulator
// on a pseudo-terminal before it runs this test under Wine:
//   COM1        a healthy controller holding the default blocks
//   COM2        a controller that never answers        COM3  one whose replies fail their checksum
//   COM4        one whose replies carry another number COM5  one that refuses with status 22
//   COM6        a device that does not exist           COM8  one that sends noise ahead of each reply
// A port held by another program is not among them: Wine lets a second program open a port that
// Windows refuses (access denied), so that case cannot be shown here.
#include "app/NetConfigApp.h"
#include "platform/LastError.h"
#include "tests/link/LinkMessageCases.h"
#include "tests/support/BoxRecorder.h"
#include "tests/support/UtilityMessages.h"

#include <gtest/gtest.h>

namespace {

class ComPortTest : public testing::Test {
protected:
    void SetUp() override { SetLastSystemError(0); }
    void TearDown() override { theApp.m_nComPort = 0; }

    BoxRecorder recorder;
};

TEST_F(ComPortTest, ReadsWritesAndReadsBackTheDeviceNetBlock) {
    theApp.m_nComPort = 0;
    ByteString stored;
    ASSERT_TRUE(theApp.ReadStatusId());
    ASSERT_TRUE(theApp.ReadNetAttributes(stored, NetworkDeviceNet));
    EXPECT_EQ(stored, CNetAttributes(NetworkDeviceNet).BuildBlock());

    CNetAttributes changed(NetworkDeviceNet);
    changed.ParseBlock(stored);
    changed.m_nNodeAddress = 42;
    ASSERT_TRUE(theApp.WriteNetAttributes(changed.BuildBlock(), NetworkDeviceNet));
    ByteString readBack;
    ASSERT_TRUE(theApp.ReadNetAttributes(readBack, NetworkDeviceNet));
    EXPECT_EQ(readBack, changed.BuildBlock());
    EXPECT_TRUE(recorder.boxes.empty());
}

struct PortCase {
    int index;
    LinkMessageCase expected;
};

class FaultyPortTest : public ComPortTest, public testing::WithParamInterface<PortCase> {};

TEST_P(FaultyPortTest, FailsWithTheTextOfItsCode) {
    theApp.m_nComPort = GetParam().index;
    EXPECT_FALSE(theApp.ReadStatusId());
    ExpectLinkMessage(recorder.boxes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, FaultyPortTest,
    testing::Values(PortCase{1, kLinkMessageCases[1]}, PortCase{2, kLinkMessageCases[0]},
                    PortCase{3, kLinkMessageCases[1]},
                    PortCase{4, {22, "Password does not match the system attributes password"}},
                    PortCase{5, {36, "Error C01_1:  Unable to open communication port."}}),
    [](const auto& info) { return "Com" + std::to_string(info.param.index + 1); });

TEST_F(ComPortTest, NoiseAheadOfTheReplyIsSkipped) {
    theApp.m_nComPort = 7;
    ByteString stored;
    EXPECT_TRUE(theApp.ReadNetAttributes(stored, NetworkProfibus));
    EXPECT_EQ(stored, CNetAttributes(NetworkProfibus).BuildBlock());
    EXPECT_TRUE(recorder.boxes.empty());
}

} // namespace
