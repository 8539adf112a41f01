#include "tests/link/LinkMessageCases.h"
#include "tests/support/SimulatedControllerTest.h"

namespace {

// Every controller status reaches the user as its own message, or as none for 18; the request fails
// either way and the caller's block is left as it was.
class ControllerStatusTest : public SimulatedControllerTest,
                             public testing::WithParamInterface<LinkMessageCase> {};

TEST_P(ControllerStatusTest, ReportsTheStatusAndFails) {
    sim.InjectFault(SimFault::Status, 1, GetParam().code);
    ByteString block{0x01, 0x02};
    EXPECT_FALSE(theApp.ReadNetAttributes(block, NetworkDeviceNet));
    EXPECT_EQ(block, (ByteString{0x01, 0x02}));
    ExpectLinkMessage(recorder.boxes, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Codes, ControllerStatusTest, testing::ValuesIn(kLinkMessageCases),
                         LinkMessageCaseName);

// Damage on the line: each fault yields its link result code and that code's message. On the simulated
// line, so that the time-outs cost no real time.
struct LineFaultCase {
    const char* name;
    SimFault fault;
    const char* text;
};

class LineFaultTest : public SimulatedControllerTest, public testing::WithParamInterface<LineFaultCase> {
protected:
    void SetUp() override {
        SimulatedControllerTest::SetUp();
        UseSimulatedLine();
    }
};

TEST_P(LineFaultTest, FailsWithTheMessageOfItsCode) {
    sim.InjectFault(GetParam().fault);
    EXPECT_FALSE(theApp.ReadStatusId());
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, QString::fromUtf8(GetParam().text));

    // The link recovers on the next request.
    recorder.boxes.clear();
    EXPECT_TRUE(theApp.ReadStatusId());
    EXPECT_TRUE(recorder.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LineFaultTest,
    testing::Values(LineFaultCase{"NoReply", SimFault::NoReply, TimeOutText},
                    LineFaultCase{"TruncatedReply", SimFault::TruncatedReply, TimeOutText},
                    LineFaultCase{"BadChecksum", SimFault::BadChecksum,
                                  "Incorrect Communication Packet  (Checksum Error)."},
                    // A reply numbered for another request answers that one: this one goes unanswered.
                    LineFaultCase{"WrongSequence", SimFault::WrongSequence, TimeOutText},
                    LineFaultCase{"WrongMessageCode", SimFault::WrongMessageCode, TimeOutText},
                    LineFaultCase{"OversizedReply", SimFault::OversizedReply,
                                  "Incorrect Communication Packet  (Incorrect message length)."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatedControllerTest, NoiseAheadOfTheReplyIsSkipped) {
    sim.Preload(NetworkDeviceNet, CNetAttributes(NetworkDeviceNet).BuildBlock());
    sim.InjectFault(SimFault::GarbageBeforeFrame);
    ByteString block;
    EXPECT_TRUE(theApp.ReadNetAttributes(block, NetworkDeviceNet));
    EXPECT_EQ(block, CNetAttributes(NetworkDeviceNet).BuildBlock());
    EXPECT_TRUE(recorder.boxes.empty());
}

// A reply larger than the read buffer never lands in the caller's block.
TEST_F(SimulatedControllerTest, OversizedReadReplyLeavesTheBlockAlone) {
    UseSimulatedLine(); // the wait for a reply after the refused one costs no real time
    sim.InjectFault(SimFault::OversizedReply);
    ByteString block{0x07};
    EXPECT_FALSE(theApp.ReadNetAttributes(block, NetworkEthernet));
    EXPECT_EQ(block, ByteString{0x07});
}

} // namespace
