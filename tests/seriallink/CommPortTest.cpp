#include "tests/seriallink/FakeCommCalls.h"

#include "platform/LastError.h"
#include "seriallink/frame/Frame.h"
#include "seriallink/frame/MessageCodes.h"
#include "seriallink/link/SerialComm.h"
#include "seriallink/serial/CommPort.h"

#include <gtest/gtest.h>

// The Windows port's decisions against drivers that refuse a quick reopen, return from reads at once,
// answer for a pulled-out adapter or report a state they refuse back, on the driver's own clock.
namespace {

constexpr std::uint8_t kDeviceNet = 2;
constexpr int kFirstByteEndMs = 1000 + 6; // the 11-byte request takes 6 ms on the line at 19200 bit/s

bool Contains(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

// A port on a scripted driver, and what it noted.
struct DriverPort {
    LinkResult Open(const std::string& device = "COM3") {
        return CCommPort::Open(
            std::make_unique<FakeCommCalls>(driver), device, 19200,
            [this](const std::string& note) { notes.push_back(note); }, port);
    }
    std::size_t Read(int timeoutMs) {
        std::array<std::uint8_t, 32> buffer;
        std::size_t count = 0;
        EXPECT_EQ(port->Read(buffer, timeoutMs, count), linkcode::Success);
        return count;
    }

    Driver driver;
    std::vector<std::string> notes;
    std::unique_ptr<CCommPort> port; // last: it leaves its notes when it goes
};

struct OpenCase {
    const char* name;
    std::deque<std::uint32_t> refusals;
    LinkResult expected;
    int opens;
    int elapsedMs;
    const char* note; // part of the one note expected, or none
};

class CommPortOpen : public testing::TestWithParam<OpenCase> {};

TEST_P(CommPortOpen, TriesAgainOnlyWhileAccessIsDeniedBriefly) {
    const OpenCase& c = GetParam();
    DriverPort p;
    p.driver.openRefusals = c.refusals;
    SetLastSystemError(0);
    EXPECT_EQ(p.Open(), c.expected);
    EXPECT_EQ(p.port != nullptr, c.expected == linkcode::Success);
    EXPECT_EQ(p.driver.opens, c.opens);
    EXPECT_EQ(p.driver.ElapsedMs(), c.elapsedMs);
    EXPECT_EQ(LastSystemError(), c.expected == linkcode::Success ? 0u : c.refusals.back());
    EXPECT_EQ(p.driver.calls.front(), "Open \\\\.\\COM3");
    if (c.note)
        EXPECT_TRUE(Contains(p.notes, c.note)) << testing::PrintToString(p.notes);
    else
        EXPECT_TRUE(p.notes.empty()) << testing::PrintToString(p.notes);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CommPortOpen,
    testing::Values(
        OpenCase{"OpensAtOnce", {}, linkcode::Success, 1, 0, nullptr},
        OpenCase{"AccessDeniedTwiceJustAfterAClose",
                 {win32::ErrorAccessDenied, win32::ErrorAccessDenied},
                 linkcode::Success,
                 3,
                 40,
                 "COM3: access denied 2 times, opened after 40 ms"},
        OpenCase{"AccessDeniedThroughoutIsAPortInUse",
                 std::deque<std::uint32_t>(100, win32::ErrorAccessDenied), linkcode::PortInUse, 16, 300,
                 "COM3: access denied for 300 ms, taken as held by another program"},
        OpenCase{"SharingViolationIsAPortInUseAtOnce",
                 {win32::ErrorSharingViolation},
                 linkcode::PortInUse,
                 1,
                 0,
                 nullptr},
        OpenCase{"NoSuchPortFailsAtOnce", {win32::ErrorFileNotFound}, linkcode::CannotOpen, 1, 0, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommPort, TakesADeviceNamespaceNameAsItIs) {
    DriverPort p;
    ASSERT_EQ(p.Open("\\\\.\\COM12"), linkcode::Success);
    EXPECT_EQ(p.driver.calls.front(), "Open \\\\.\\COM12");
}

// A DCB as a USB driver may hand it out: flow control and special characters of its own.
CommState FoundState(std::uint32_t xon, std::uint32_t xoff) {
    CommState state;
    state.BaudRate = 9600;
    state.ByteSize = 7;
    state.Parity = 2;
    state.fOutxCtsFlow = 1;
    state.fRtsControl = 2;
    state.XonLim = 2048;
    state.EofChar = 0x1A;
    state.XonChar = xon;
    state.XoffChar = xoff;
    return state;
}

struct RestoreCase {
    const char* name;
    std::uint32_t foundXon, foundXoff;
    std::uint32_t restoredXon, restoredXoff;
};

class CommPortRestore : public testing::TestWithParam<RestoreCase> {};

TEST_P(CommPortRestore, PutsBackTheStateFoundInAFormTheDriverTakes) {
    const RestoreCase& c = GetParam();
    DriverPort p;
    Driver& driver = p.driver;
    driver.state = FoundState(c.foundXon, c.foundXoff);
    driver.timeouts = {50, 10, 500, 10, 500};
    const CommTimeouts foundTimeouts = driver.timeouts;
    ASSERT_EQ(p.Open(), linkcode::Success);
    EXPECT_EQ(driver.state.BaudRate, 19200u);
    EXPECT_EQ(driver.state.ByteSize, 8u);
    EXPECT_EQ(driver.state.Parity, win32::NoParity);
    EXPECT_EQ(driver.state.fOutxCtsFlow, 0u);
    EXPECT_EQ(driver.state.fRtsControl, win32::RtsControlEnable);
    p.Read(100);

    p.port.reset();
    EXPECT_EQ(driver.state, FoundState(c.restoredXon, c.restoredXoff));
    EXPECT_EQ(driver.timeouts, foundTimeouts);
    EXPECT_FALSE(driver.open);
    EXPECT_TRUE(p.notes.empty()) << testing::PrintToString(p.notes);
}

INSTANTIATE_TEST_SUITE_P(FlowCharacters, CommPortRestore,
                         testing::Values(RestoreCase{"Distinct", 0x11, 0x13, 0x11, 0x13},
                                         RestoreCase{"Unusual", 0x05, 0x06, 0x05, 0x06},
                                         RestoreCase{"BothZero", 0x00, 0x00, 0x11, 0x13},
                                         RestoreCase{"BothXoff", 0x13, 0x13, 0x11, 0x13}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommPort, ARestoreTheDriverRefusesIsNotedAndThePortStillCloses) {
    DriverPort p;
    ASSERT_EQ(p.Open(), linkcode::Success);
    p.driver.refuseSetState = true;
    p.port.reset();
    EXPECT_TRUE(Contains(p.notes, "COM3: the line settings found at open were not put back: error 87"))
        << testing::PrintToString(p.notes);
    EXPECT_FALSE(p.driver.open);
}

TEST(CommPort, ASetStateRefusedAtOpenFailsTheOpenAndClosesThePort) {
    DriverPort p;
    p.driver.refuseSetState = true;
    EXPECT_EQ(p.Open(), linkcode::CannotOpen);
    EXPECT_EQ(LastSystemError(), Driver::ErrorInvalidParameter);
    EXPECT_FALSE(p.driver.open);
}

// Adapters powered from DTR and RTS come up after the open; what they send while doing so is dropped.
TEST(CommPort, ModemLinesSettleBeforeStaleInputIsDropped) {
    for (const bool modemLines : {true, false}) {
        DriverPort p;
        Driver& driver = p.driver;
        driver.modemLines = modemLines;
        driver.arrivals = {{10, {0x00, 0xFF}}};
        ASSERT_EQ(p.Open(), linkcode::Success);
        const std::vector<std::string> expected =
            modemLines ? std::vector<std::string>{"SetState", "Sleep 50", "PurgeInput"}
                       : std::vector<std::string>{"SetState", "PurgeInput"};
        EXPECT_EQ(std::vector<std::string>(driver.calls.end() - std::ptrdiff_t(expected.size()),
                                           driver.calls.end()),
                  expected);
        EXPECT_EQ(p.Read(100), modemLines ? 0u : 2u) << "modem lines " << modemLines;
    }
}

// The time the link gives 266 bytes at 9600 bit/s (1000 ms plus 278 on the line), asked of the driver
// a tick short as every wait is.
TEST(CommPort, AWriteTheLineNeverTakesEndsAtItsTime) {
    DriverPort p;
    p.driver.writesStall = true;
    ASSERT_EQ(p.Open(), linkcode::Success);
    EXPECT_EQ(p.port->Write(std::vector<std::uint8_t>(266), 1278), linkcode::Transmit);
    EXPECT_EQ(p.driver.ElapsedMs(), 1278 - 16);
}

struct ReadModeCase {
    bool returnsOnFirstByte;
    int timeoutMs;
    CommTimeouts expected; // the read members
};

class CommPortReadMode : public testing::TestWithParam<ReadModeCase> {};

// A wait is never asked as 0, which with these modes returns at once.
TEST_P(CommPortReadMode, BlocksUntilTheFirstByteOrATickShortOfTheTime) {
    const ReadModeCase& c = GetParam();
    DriverPort p;
    p.driver.returnsOnFirstByte = c.returnsOnFirstByte;
    ASSERT_EQ(p.Open(), linkcode::Success);
    p.Read(c.timeoutMs);
    const CommTimeouts& set = p.driver.timeouts;
    EXPECT_EQ(set.ReadIntervalTimeout, c.expected.ReadIntervalTimeout);
    EXPECT_EQ(set.ReadTotalTimeoutMultiplier, c.expected.ReadTotalTimeoutMultiplier);
    EXPECT_EQ(set.ReadTotalTimeoutConstant, c.expected.ReadTotalTimeoutConstant);
}

INSTANTIATE_TEST_SUITE_P(Waits, CommPortReadMode,
                         testing::Values(ReadModeCase{true, 1000, {win32::MaxDword, win32::MaxDword, 984}},
                                         ReadModeCase{true, 17, {win32::MaxDword, win32::MaxDword, 1}},
                                         ReadModeCase{true, 1, {win32::MaxDword, win32::MaxDword, 1}},
                                         ReadModeCase{false, 100, {1, 0, 84}},
                                         ReadModeCase{false, 16, {1, 0, 1}}));

// The link over the port on a scripted driver, its waits on the driver's clock.
class DriverLink : public CSerialComm, private CLineSource {
public:
    explicit DriverLink(Driver& driver) : m_driver(driver) {
        m_pLineSource = this;
        m_strDeviceName = "COM3";
        m_wCommParam = 0x1001;
        m_bPLCTarget = 1;
        m_byNetworkType = kDeviceNet;
    }

    // A read request on the open port.
    LinkResult Read() {
        std::vector<std::uint8_t> reply(ReadNetAttrReplyCapacity);
        std::uint32_t count = 0;
        return ProccessMsgCode_NoThread(MSGCODE_READ_NET_ATTR, true, nullptr, 0, reply.data(),
                                        ReadNetAttrReplyCapacity, &count);
    }

    std::vector<std::string> notes;

private:
    LinkResult Open(const std::string& device, std::int32_t baudRate, std::unique_ptr<CByteChannel>& channel,
                    const PortNoteSink&) override {
        std::unique_ptr<CCommPort> port;
        const LinkResult opened = CCommPort::Open(
            std::make_unique<FakeCommCalls>(m_driver), device, baudRate,
            [this](const std::string& note) { notes.push_back(note); }, port);
        channel = std::move(port);
        return opened;
    }
    CLineSource::TimePoint Now() const override { return m_driver.now; }

    Driver& m_driver;
};

std::vector<std::uint8_t> Reply() {
    return EncodeReply(MSGCODE_READ_NET_ATTR, frame::StatusOk, kDeviceNet, 1,
                       std::vector<std::uint8_t>{0x00, 0x02});
}

TEST(CommPortExchange, ReadsThatReturnAtOnceWaitATickInsteadOfSpinning) {
    Driver driver;
    driver.readsReturnAtOnce = true;
    DriverLink link(driver);
    ASSERT_EQ(link.InitializeCommMode(), linkcode::Success);
    EXPECT_EQ(link.Read(), linkcode::TimeOut);
    EXPECT_EQ(driver.ElapsedMs(), kFirstByteEndMs);
    EXPECT_LE(driver.reads, kFirstByteEndMs / 16 + 2);

    Driver answering;
    answering.readsReturnAtOnce = true;
    answering.arrivals = {{300, Reply()}};
    DriverLink answered(answering);
    ASSERT_EQ(answered.InitializeCommMode(), linkcode::Success);
    EXPECT_EQ(answered.Read(), linkcode::Success);
    EXPECT_LE(answering.ElapsedMs(), 300 + 16) << "a tick late at most";
}

// A pulled-out adapter whose reads come back empty, or whose ReadFile fails (ERROR_DEVICE_NOT_CONNECTED).
class PulledOutAdapter : public testing::TestWithParam<std::uint32_t> {};

TEST_P(PulledOutAdapter, IsTheDeviceLostAtOnce) {
    Driver driver;
    DriverLink link(driver);
    ASSERT_EQ(link.InitializeCommMode(), linkcode::Success);
    driver.removed = true;
    driver.readError = GetParam();
    EXPECT_EQ(link.Read(), linkcode::Transmit);
    EXPECT_EQ(LastSystemError(), GetParam() != 0 ? GetParam() : Driver::ErrorBadCommand);
    EXPECT_EQ(driver.ElapsedMs(), 0);
    EXPECT_FALSE(driver.open) << "a failed exchange releases the port";
}

INSTANTIATE_TEST_SUITE_P(CommPortExchange, PulledOutAdapter, testing::Values(0u, 1167u));

// Noise keeps every read busy until the wait is up: the line errors behind it still reach the trace.
TEST(CommPortExchange, LineErrorsAreNotedWhenTheExchangeTimesOut) {
    Driver driver;
    DriverLink link(driver);
    ASSERT_EQ(link.InitializeCommMode(), linkcode::Success);
    for (int at = 1; at < 3000; ++at)
        driver.arrivals.push_back({at, {0xFF}});
    driver.lineErrors = win32::CeFrame | win32::CeOverrun | 0x4000;
    EXPECT_EQ(link.Read(), linkcode::TimeOut);
    EXPECT_EQ(driver.ElapsedMs(), kFirstByteEndMs);
    EXPECT_EQ(link.notes, std::vector<std::string>{"COM3: line errors CE_OVERRUN CE_FRAME 0x4000"});
}

} // namespace
