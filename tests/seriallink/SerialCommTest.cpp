#include "seriallink/link/SerialComm.h"

#include "model/NetAttributes.h"
#include "platform/LastError.h"
#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/MessageCodes.h"
#include "seriallink/serial/PortName.h"
#include "seriallink/serial/SerialPort.h"
#include "sim/ControllerLogic.h"
#include "sim/ControllerSimulator.h"
#include "sim/SimDevice.h"
#include "sim/SimulatedLine.h"
#include "tests/support/ScopedEnvironment.h"

#include <QFile>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

using namespace linkcode;

constexpr int PortNumber = 3;
constexpr std::uint8_t StatusId = MSGCODE_STATUS_ID, WriteNetAttr = MSGCODE_WRITE_NET_ATTR,
                       ReadNetAttr = MSGCODE_READ_NET_ATTR;

// The link as the application drives it, against a simulated controller on a real pty.
class LinkSession : public testing::Test {
protected:
    void SetUp() override {
        sim.Start();
        com3.emplace("TALVOR_COM3", QByteArray::fromStdString(sim.DevicePath()));
        link.m_nSerialPort = PortNumber;
        link.m_wCommParam = COMM_PARAM_DEFAULT;
        link.m_bPLCTarget = 1;
    }
    void TearDown() override { link.CloseComPort(); }

    LinkResult Read(std::uint8_t type, ByteString& block, std::uint32_t capacity = ReadNetAttrReplyCapacity) {
        if (LinkResult opened = link.InitializeCommMode(); opened != Success)
            return opened;
        link.m_byNetworkType = type;
        buffer.assign(capacity + Canary, 0xEE);
        std::uint32_t count = 0;
        const LinkResult result =
            link.ProccessMsgCode_NoThread(ReadNetAttr, true, nullptr, 0, buffer.data(), capacity, &count);
        EXPECT_LE(count, capacity);
        EXPECT_EQ(ByteString(buffer.end() - Canary, buffer.end()), ByteString(Canary, 0xEE))
            << "wrote past the capacity";
        if (result == Success) {
            block.assign(buffer.begin(), buffer.begin() + count);
            link.CloseComPort();
        } else {
            EXPECT_EQ(count, 0u) << "a failed exchange reported reply bytes";
        }
        return result;
    }

    LinkResult Write(std::uint8_t type, ByteString block) {
        if (LinkResult opened = link.InitializeCommMode(); opened != Success)
            return opened;
        link.m_byNetworkType = type;
        const LinkResult result = link.ProccessMsgCode_NoThread(
            WriteNetAttr, true, block.data(), static_cast<std::uint32_t>(block.size()), nullptr, 0, nullptr);
        if (result == Success)
            link.CloseComPort();
        return result;
    }

    LinkResult ReadStatusId(ByteString& id) {
        if (LinkResult opened = link.InitializeCommMode(); opened != Success)
            return opened;
        std::vector<std::uint8_t> reply(StatusIdReplyCapacity);
        std::uint32_t count = 0;
        const LinkResult result = link.ProccessMsgCode_NoThread(StatusId, false, nullptr, 0, reply.data(),
                                                                StatusIdReplyCapacity, &count);
        id.assign(reply.begin(), reply.begin() + count);
        if (result == Success)
            link.CloseComPort();
        return result;
    }

    static constexpr std::size_t Canary = 64;
    ControllerSimulator sim;
    std::optional<ScopedEnvironmentVariable> com3;
    CSerialComm link;
    std::vector<std::uint8_t> buffer;
};

TEST_F(LinkSession, StatusIdWriteReadAndDisable) {
    ByteString id;
    ASSERT_EQ(ReadStatusId(id), Success);
    EXPECT_EQ(id, ctrl::StatusIdPayload);

    ByteString block;
    ASSERT_EQ(Read(NetworkDeviceNet, block), Success);
    EXPECT_EQ(block, EmptyAttributeBlock()) << "nothing is programmed at first";

    const ByteString deviceNet = CNetAttributes(NetworkDeviceNet).BuildBlock();
    ASSERT_EQ(Write(NetworkDeviceNet, deviceNet), Success);
    EXPECT_EQ(sim.StoredBlock(NetworkDeviceNet), deviceNet);
    ASSERT_EQ(Read(NetworkDeviceNet, block), Success);
    EXPECT_EQ(block, deviceNet);

    ASSERT_EQ(Write(NetworkEthernet, CNetAttributes(NetworkEthernet).BuildBlock()), Success);
    ASSERT_EQ(Write(NetworkEthernet, EmptyAttributeBlock()), Success);
    EXPECT_FALSE(sim.StoredBlock(NetworkEthernet).has_value());
    EXPECT_EQ(LastSystemError(), Success);

    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[0].msgCode, StatusId);
    EXPECT_EQ(requests[2].msgCode, WriteNetAttr);
    EXPECT_EQ(requests[2].networkType, NetworkDeviceNet);
    EXPECT_EQ(requests[2].payload, deviceNet);
    EXPECT_EQ(requests[5].payload, EmptyAttributeBlock());
}

TEST_F(LinkSession, ReplyWithZeroBytesIsReturnedWhole) {
    const ByteString withZeros{0x00, 0x0C, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    sim.Preload(NetworkDeviceNet, withZeros);
    ByteString block;
    ASSERT_EQ(Read(NetworkDeviceNet, block), Success);
    EXPECT_EQ(block, withZeros);
}

TEST_F(LinkSession, ReplyLongerThanTheCapacityIsRefusedUntouched) {
    sim.PreloadDefaults();
    ByteString block;
    EXPECT_EQ(Read(NetworkEthernet, block, 12), MessageLength);
    EXPECT_EQ(ByteString(buffer.begin(), buffer.begin() + 12), ByteString(12, 0xEE)) << "nothing copied";
    EXPECT_EQ(Read(NetworkEthernet, block, 19), Success);
    EXPECT_EQ(block.size(), 19u);
}

struct FaultCase {
    const char* name;
    SimFault fault;
    std::uint32_t value; // a status, or for Echo and Late the delay in milliseconds
    LinkResult expected;
};

const FaultCase kFaultCases[] = {
    {"StatusPassedThrough", SimFault::Status, Password, Password},
    {"StatusUserAbort", SimFault::Status, UserAbort, UserAbort},
    {"StatusWithoutText", SimFault::Status, SilentFailure, SilentFailure},
    {"NoReply", SimFault::NoReply, 0, TimeOut},
    {"BadChecksum", SimFault::BadChecksum, 0, Checksum},
    {"WrongSequence", SimFault::WrongSequence, 0, TimeOut},
    {"WrongMessageCode", SimFault::WrongMessageCode, 0, TimeOut},
    {"TruncatedReply", SimFault::TruncatedReply, 0, TimeOut},
    {"GarbageBeforeFrame", SimFault::GarbageBeforeFrame, 0, Success},
    {"OversizedReply", SimFault::OversizedReply, 0, MessageLength},
    {"EchoThenAnswerAfter300Ms", SimFault::Echo, 300, Success},
    {"AnswerAfter800Ms", SimFault::Late, 800, Success},
    {"AnswerAfter1300Ms", SimFault::Late, 1300, TimeOut},
};

// The link meets the simulator in-process, on a clock that moves only while the link waits, or over
// the pseudo-terminal on real clocks.
enum class Line { Simulated, Pty };

class LinkFault : public LinkSession, public testing::WithParamInterface<std::tuple<FaultCase, Line>> {
protected:
    void SetUp() override {
        LinkSession::SetUp();
        if (std::get<1>(GetParam()) == Line::Simulated)
            link.m_pLineSource = &line;
    }
    SimulatedLine line{sim};
};

TEST_P(LinkFault, GivesItsCodeAndTheNextExchangeWorks) {
    const FaultCase& c = std::get<0>(GetParam());
    sim.PreloadDefaults();
    sim.InjectFault(c.fault, 1, c.value, ReadNetAttr);
    ByteString block;
    EXPECT_EQ(Read(NetworkProfibus, block), c.expected);
    EXPECT_EQ(LastSystemError(), 0u) << "no system call failed";
    // Bytes of the failed exchange may still be in flight, a late reply among them: the next exchange
    // must not take them for its own.
    ASSERT_EQ(Read(NetworkProfibus, block), Success);
    EXPECT_EQ(block, CNetAttributes(NetworkProfibus).BuildBlock());
}

std::string CaseName(const testing::TestParamInfo<LinkFault::ParamType>& info) {
    return std::get<0>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Table, LinkFault,
                         testing::Combine(testing::ValuesIn(kFaultCases), testing::Values(Line::Simulated)),
                         CaseName);

// One of each kind on real clocks: a status, silence, a damaged reply, and a reply still in flight when
// the next exchange starts.
INSTANTIATE_TEST_SUITE_P(OverPty, LinkFault,
                         testing::Values(std::make_tuple(kFaultCases[0], Line::Pty),
                                         std::make_tuple(kFaultCases[3], Line::Pty),
                                         std::make_tuple(kFaultCases[4], Line::Pty),
                                         std::make_tuple(kFaultCases[12], Line::Pty)),
                         CaseName);

TEST_F(LinkSession, FaultOnlyHitsItsMessageCodeAndItsCount) {
    sim.InjectFault(SimFault::Status, 2, EepromProgram, WriteNetAttr);
    ByteString id;
    EXPECT_EQ(ReadStatusId(id), Success);
    EXPECT_EQ(Write(NetworkEthernet, EmptyAttributeBlock()), EepromProgram);
    EXPECT_EQ(Write(NetworkEthernet, EmptyAttributeBlock()), EepromProgram);
    EXPECT_EQ(Write(NetworkEthernet, EmptyAttributeBlock()), Success);
}

TEST_F(LinkSession, ControllerRefusalsArriveAsTheirCodes) {
    EXPECT_EQ(Write(4, EmptyAttributeBlock()), WrongType) << "unknown network type";
    EXPECT_EQ(Write(NetworkDeviceNet, CNetAttributes(NetworkProfibus).BuildBlock()), WrongType)
        << "type byte differs";
    EXPECT_EQ(Write(NetworkDeviceNet, ByteString{0x00, 0x05, 0x02}), MessageLength) << "length field differs";
    EXPECT_FALSE(sim.StoredBlock(NetworkDeviceNet).has_value());
}

TEST_F(LinkSession, SecondOpenerOfTheSameDeviceIsToldItIsInUse) {
    ASSERT_EQ(link.InitializeCommMode(), Success);
    CSerialComm other;
    other.m_nSerialPort = PortNumber;
    other.m_wCommParam = COMM_PARAM_DEFAULT;
    EXPECT_EQ(other.InitializeCommMode(), PortInUse);
    link.CloseComPort();
    EXPECT_EQ(other.InitializeCommMode(), Success) << "free again once closed";
}

TEST_F(LinkSession, ClosingThePortIsSeenByTheController) {
    ByteString id;
    ASSERT_EQ(ReadStatusId(id), Success);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (sim.ClientCloses() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(sim.ClientCloses(), 1);
    ASSERT_EQ(ReadStatusId(id), Success) << "the controller keeps serving";
}

TEST_F(LinkSession, LineSettingsFoundAtOpenAreBackAfterClose) {
    const int fd = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios before{};
    ASSERT_EQ(::tcgetattr(fd, &before), 0);
    // What a terminal program leaves behind: line editing, blocking reads, another rate.
    before.c_lflag |= ICANON;
    before.c_cc[VMIN] = 1;
    before.c_cc[VTIME] = 5;
    ::cfsetspeed(&before, B9600);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &before), 0);

    ByteString id;
    EXPECT_EQ(ReadStatusId(id), Success);
    termios after{};
    ASSERT_EQ(::tcgetattr(fd, &after), 0);
    ::close(fd);
    EXPECT_NE(after.c_lflag & ICANON, Success);
    EXPECT_EQ(after.c_cc[VMIN], 1);
    EXPECT_EQ(after.c_cc[VTIME], 5);
    EXPECT_EQ(::cfgetispeed(&after), speed_t(B9600));
}

TEST_F(LinkSession, UnknownLineSettingsAreRefused) {
    link.m_wCommParam = 0x1009;
    EXPECT_EQ(link.InitializeCommMode(), InvalidArgument);
    link.m_wCommParam = COMM_PARAM_DEFAULT;
    CSerialComm::m_nCommMedium = 1;
    EXPECT_EQ(link.InitializeCommMode(), InvalidArgument);
    CSerialComm::m_nCommMedium = 0;
    EXPECT_EQ(link.InitializeCommMode(), Success);
}

TEST(SerialLink, DeviceVanishingMidExchangeIsDataNotCarried) {
    auto sim = std::make_unique<ControllerSimulator>();
    sim->Start();
    const ScopedEnvironmentVariable com2("TALVOR_COM2", QByteArray::fromStdString(sim->DevicePath()));
    CSerialComm link;
    link.m_nSerialPort = 2;
    link.m_wCommParam = COMM_PARAM_DEFAULT;
    ASSERT_EQ(link.InitializeCommMode(), Success);
    sim.reset();
    const LinkResult result = link.ProccessMsgCode_NoThread(StatusId, false, nullptr, 0, nullptr, 0, nullptr);
    EXPECT_EQ(result, Transmit);
    EXPECT_EQ(LastSystemError(), std::uint32_t(EIO));
}

// A pulled-out adapter hangs the line up, and reads then find end of file: the device is lost.
TEST(SerialPort, AHungUpLineIsTheDeviceLost) {
    const SimDevice pty = CreatePty();
    std::unique_ptr<CSerialPort> port;
    ASSERT_EQ(CSerialPort::Open(pty.path, 19200, port), Success);
    const int other = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);
    if (::ioctl(other, TIOCVHANGUP) != 0)
        GTEST_SKIP() << "hanging up a terminal takes CAP_SYS_ADMIN";
    std::array<std::uint8_t, 8> buffer;
    std::size_t count = 1;
    EXPECT_EQ(port->Read(buffer, 1000, count), Transmit);
    EXPECT_EQ(LastSystemError(), std::uint32_t(EIO));
    ::close(other);
    ::close(pty.fd);
}

TEST(SerialLink, RepliesPacedAtTheLineRateKeepWithinTheByteGap) {
    ControllerSimulator::Options options;
    options.paceAtLineRate = true;
    ControllerSimulator sim(options);
    sim.PreloadDefaults();
    sim.Start();
    const ScopedEnvironmentVariable com2("TALVOR_COM2", QByteArray::fromStdString(sim.DevicePath()));
    CSerialComm link;
    link.m_nSerialPort = 2;
    link.m_wCommParam = COMM_PARAM_DEFAULT;
    link.m_byNetworkType = NetworkEthernet;
    ASSERT_EQ(link.InitializeCommMode(), Success);
    std::vector<std::uint8_t> reply(100);
    std::uint32_t count = 0;
    EXPECT_EQ(link.ProccessMsgCode_NoThread(ReadNetAttr, true, nullptr, 0, reply.data(), 100, &count),
              Success);
    EXPECT_EQ(count, 19u);
}

constexpr const char* RegularFile = "(regular file)";

struct OpenCase {
    const char* name;
    int port;
    const char* device; // TALVOR_COMn, null: unset, RegularFile: a file the test makes
    std::uint32_t lastError;
};

class SerialLinkOpenFailure : public testing::TestWithParam<OpenCase> {};

TEST_P(SerialLinkOpenFailure, CannotOpen) {
    const OpenCase& c = GetParam();
    QTemporaryFile regularFile;
    QByteArray device = c.device;
    if (c.device == RegularFile) {
        ASSERT_TRUE(regularFile.open());
        device = QFile::encodeName(regularFile.fileName());
    }
    const std::string variable = "TALVOR_COM" + std::to_string(c.port);
    const ScopedEnvironmentVariable com(variable.c_str(), c.device ? std::optional(device) : std::nullopt);
    CSerialComm link;
    link.m_nSerialPort = c.port;
    link.m_wCommParam = COMM_PARAM_DEFAULT;
    EXPECT_EQ(link.InitializeCommMode(), CannotOpen);
    EXPECT_EQ(LastSystemError(), c.lastError);
    EXPECT_EQ(link.ProccessMsgCode_NoThread(StatusId, false, nullptr, 0, nullptr, 0, nullptr),
              NotInitialized);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SerialLinkOpenFailure,
    testing::Values(OpenCase{"MissingDevice", 5, "/dev/talvor-no-such-device", ENOENT},
                    OpenCase{"NotADevice", 6, RegularFile, ENOTTY}, OpenCase{"PortZero", 0, nullptr, ENODEV},
                    OpenCase{"FewerPortsPresent", 200, nullptr, ENODEV},
                    OpenCase{"PortPastTheLast", LastAddressableComPort + 1, nullptr, ENODEV}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
