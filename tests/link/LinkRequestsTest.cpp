#include "seriallink/frame/Frame.h"
#include "tests/support/SimulatedControllerTest.h"
#include "tests/support/TestNames.h"

#include "seriallink/serial/SerialPort.h"

namespace {

using LinkRequestsTest = SimulatedControllerTest;

class ComPortIndexTest : public SimulatedControllerTest, public testing::WithParamInterface<int> {};

TEST_P(ComPortIndexTest, OpensThePortNumberedOneAboveTheIndex) {
    UseComPort(GetParam());
    EXPECT_TRUE(theApp.ReadStatusId());
    // Only the simulated controller on that port can answer: the request reached it.
    EXPECT_EQ(sim.Requests().size(), 1u);
    EXPECT_TRUE(recorder.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Ports, ComPortIndexTest, testing::Values(0, 7),
                         [](const auto& info) { return "Com" + std::to_string(info.param + 1); });

TEST_F(LinkRequestsTest, OpenWritesTheLinkSettings) {
    CSerialComm::m_nCommMedium = 5;
    theApp.m_SerialComm.m_wCommParam = 0;
    ASSERT_TRUE(theApp.ReadStatusId());
    EXPECT_EQ(CSerialComm::m_nCommMedium, 0);
    EXPECT_EQ(theApp.m_SerialComm.m_wCommParam, COMM_PARAM_DEFAULT);
}

TEST_F(LinkRequestsTest, SuccessfulRequestReleasesThePort) {
    ASSERT_TRUE(theApp.ReadStatusId());
    EXPECT_TRUE(WaitForClientCloses(1));
    std::unique_ptr<CSerialPort> other;
    EXPECT_EQ(CSerialPort::Open(sim.DevicePath(), 19200, other), 0u);
}

TEST_F(LinkRequestsTest, FailedExchangeReleasesThePortAndTheNextRequestStillWorks) {
    sim.InjectFault(SimFault::BadChecksum);
    EXPECT_FALSE(theApp.ReadStatusId());
    EXPECT_TRUE(WaitForClientCloses(1));
    {
        std::unique_ptr<CSerialPort> other;
        EXPECT_EQ(CSerialPort::Open(sim.DevicePath(), 19200, other), 0u)
            << "the failed exchange has released the port";
    }

    EXPECT_TRUE(theApp.ReadStatusId());
    EXPECT_EQ(sim.Requests().size(), 2u);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "Incorrect Communication Packet  (Checksum Error).");
}

TEST_F(LinkRequestsTest, FailedOpenSendsNothing) {
    std::unique_ptr<CSerialPort> holder;
    ASSERT_EQ(CSerialPort::Open(sim.DevicePath(), 19200, holder), 0u);

    ByteString block{0x01};
    EXPECT_FALSE(theApp.ReadNetAttributes(block, NetworkDeviceNet));
    EXPECT_EQ(block, ByteString{0x01});
    holder.reset();
    EXPECT_TRUE(sim.Requests().empty());
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text,
              "Error C01_3:  communication port is being used by some other application, Access denied.");
}

TEST_F(LinkRequestsTest, MissingDeviceCannotBeOpened) {
    ::setenv("TALVOR_COM1", "/nonexistent/talvor-device", 1);
    EXPECT_FALSE(theApp.WriteNetAttributes(EmptyAttributeBlock(), NetworkEthernet));
    EXPECT_TRUE(sim.Requests().empty());
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "Error C01_1:  Unable to open communication port.");
}

// Where the controller is the peer: set for every request, cleared again after a status-id request.
struct PlcTargetCase {
    const char* name;
    bool fail;
    bool (*request)();
    int expected;
};

bool StatusId() {
    return theApp.ReadStatusId();
}
bool Write() {
    return theApp.WriteNetAttributes(theApp.m_DeviceNetAttr.BuildBlock(), NetworkDeviceNet);
}
bool Read() {
    ByteString block;
    return theApp.ReadNetAttributes(block, NetworkDeviceNet);
}

class PlcTargetTest : public SimulatedControllerTest, public testing::WithParamInterface<PlcTargetCase> {};

TEST_P(PlcTargetTest, HoldsTheValueOfTheLastRequestKind) {
    theApp.SetPLCTarget(GetParam().expected == 0 ? 1 : 0);
    if (GetParam().fail)
        sim.InjectFault(SimFault::Status, 1, 21);
    EXPECT_EQ(GetParam().request(), !GetParam().fail);
    EXPECT_EQ(theApp.m_SerialComm.m_bPLCTarget, GetParam().expected);
    // Every request goes out with the PLC-target flag; the status-id request clears the member after it.
    ASSERT_FALSE(sim.Requests().empty());
    EXPECT_NE(sim.Requests().back().flags & frame::FlagPlcTarget, 0);
}

INSTANTIATE_TEST_SUITE_P(Requests, PlcTargetTest,
                         testing::Values(PlcTargetCase{"StatusId", false, StatusId, 0},
                                         PlcTargetCase{"FailedStatusId", true, StatusId, 0},
                                         PlcTargetCase{"Write", false, Write, 1},
                                         PlcTargetCase{"FailedWrite", true, Write, 1},
                                         PlcTargetCase{"Read", false, Read, 1},
                                         PlcTargetCase{"FailedRead", true, Read, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkRequestsTest, StatusIdLeavesTheNetworkTypeAlone) {
    theApp.m_SerialComm.m_byNetworkType = NetworkProfibus;
    ASSERT_TRUE(theApp.ReadStatusId());
    EXPECT_EQ(theApp.m_SerialComm.m_byNetworkType, NetworkProfibus);
    ASSERT_EQ(sim.Requests().size(), 1u);
    EXPECT_EQ(sim.Requests()[0].msgCode, MSGCODE_STATUS_ID);
    EXPECT_TRUE(sim.Requests()[0].payload.empty());
}

// A write needs no status id first and carries the block whole, with its own length.
struct WriteCase {
    const char* name;
    ByteString block;
    NetworkType type;
};

class WriteTest : public SimulatedControllerTest, public testing::WithParamInterface<WriteCase> {};

TEST_P(WriteTest, SendsExactlyTheBlockWithItsType) {
    EXPECT_TRUE(theApp.WriteNetAttributes(GetParam().block, GetParam().type));
    ASSERT_EQ(sim.Requests().size(), 1u);
    const ControllerSimulator::Request request = sim.Requests()[0];
    EXPECT_EQ(request.msgCode, MSGCODE_WRITE_NET_ATTR);
    EXPECT_EQ(request.networkType, GetParam().type);
    EXPECT_EQ(request.payload, GetParam().block);
    EXPECT_TRUE(WaitForClientCloses(1));
    EXPECT_TRUE(recorder.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, WriteTest,
    testing::Values(WriteCase{"DeviceNet", CNetAttributes(NetworkDeviceNet).BuildBlock(), NetworkDeviceNet},
                    WriteCase{"Profibus", CNetAttributes(NetworkProfibus).BuildBlock(), NetworkProfibus},
                    WriteCase{"Ethernet", CNetAttributes(NetworkEthernet).BuildBlock(), NetworkEthernet},
                    WriteCase{"DisableEthernet", EmptyAttributeBlock(), NetworkEthernet}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkRequestsTest, WriteLengthsAreTwelveForDeviceNetAndTwoForDisable) {
    sim.Preload(NetworkEthernet, CNetAttributes(NetworkEthernet).BuildBlock());
    ASSERT_TRUE(theApp.WriteNetAttributes(theApp.m_DeviceNetAttr.BuildBlock(), NetworkDeviceNet));
    ASSERT_TRUE(theApp.WriteNetAttributes(EmptyAttributeBlock(), NetworkEthernet));
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].payload.size(), 12u);
    EXPECT_EQ(requests[1].payload.size(), 2u);
    EXPECT_FALSE(sim.StoredBlock(NetworkEthernet).has_value());
}

// Blocks at and past the one-byte length: the longest goes out whole, a longer one is refused before
// anything reaches the line instead of being sent with a wrapped length.
TEST_F(LinkRequestsTest, WriteRefusesBlocksLongerThanTheLengthByte) {
    const ByteString longest(255, 0xAB);
    EXPECT_FALSE(theApp.WriteNetAttributes(longest, NetworkDeviceNet)); // the controller rejects its length
    ASSERT_EQ(sim.Requests().size(), 1u);
    EXPECT_EQ(sim.Requests()[0].payload, longest);

    sim.ClearRequests();
    recorder.boxes.clear();
    for (std::size_t length : {256u, 257u, 300u, 65536u}) {
        EXPECT_FALSE(theApp.WriteNetAttributes(ByteString(length, 0x00), NetworkDeviceNet)) << length;
    }
    EXPECT_TRUE(sim.Requests().empty());
    EXPECT_TRUE(recorder.boxes.empty());
}

// Read replies come back byte for byte, whatever they hold.
struct ReadCase {
    const char* name;
    ByteString stored;
};

class ReadTest : public SimulatedControllerTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(ReadTest, ReturnsTheReplyWhole) {
    sim.Preload(NetworkProfibus, GetParam().stored);
    ByteString block{0xEE, 0xEE, 0xEE};
    EXPECT_TRUE(theApp.ReadNetAttributes(block, NetworkProfibus));
    EXPECT_EQ(block, GetParam().stored);
    ASSERT_EQ(sim.Requests().size(), 1u);
    EXPECT_EQ(sim.Requests()[0].msgCode, MSGCODE_READ_NET_ATTR);
    EXPECT_EQ(sim.Requests()[0].networkType, NetworkProfibus);
    EXPECT_TRUE(sim.Requests()[0].payload.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadTest,
    testing::Values(ReadCase{"Empty", {}}, ReadCase{"NotProgrammed", EmptyAttributeBlock()},
                    ReadCase{"ZeroBytesInside",
                             {0x00, 0x0D, 0x03, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
                    ReadCase{"AllZero", ByteString(19, 0x00)}, ReadCase{"Large", ByteString(70000, 0x5A)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkRequestsTest, ReadOfAnUnprogrammedTypeGivesTheEmptyBlock) {
    ByteString block;
    EXPECT_TRUE(theApp.ReadNetAttributes(block, NetworkDeviceNet));
    EXPECT_EQ(block, EmptyAttributeBlock());
}

TEST_F(LinkRequestsTest, WrittenBlockReadsBack) {
    CNetAttributes devicenet(NetworkDeviceNet);
    const ByteString written = devicenet.BuildBlock();
    ASSERT_TRUE(theApp.ReadStatusId());
    ASSERT_TRUE(theApp.WriteNetAttributes(written, NetworkDeviceNet));
    ByteString read;
    ASSERT_TRUE(theApp.ReadStatusId());
    ASSERT_TRUE(theApp.ReadNetAttributes(read, NetworkDeviceNet));
    EXPECT_EQ(read, written);
    EXPECT_TRUE(WaitForClientCloses(4));
}

} // namespace
