#include "tests/seriallink/ScriptedLine.h"

#include "seriallink/frame/Frame.h"
#include "seriallink/frame/MessageCodes.h"

#include <gtest/gtest.h>

// The exchange's waits on a line that echoes, glitches, answers late, answers for someone else or
// disappears, timed on a clock the test controls.
namespace {

constexpr std::uint8_t kDeviceNet = 2;
constexpr std::uint8_t kSequence = 1;     // the link object's first exchange
constexpr int kFirstByteEndMs = 1000 + 6; // the 11-byte request takes 6 ms on the line at 19200 bit/s
const std::vector<std::uint8_t> kBlock{0x00, 0x0C, 0x02, 0x1E, 0x00, 0x00,
                                       0x40, 0x00, 0x04, 0x00, 0x14, 0x00};

std::vector<std::uint8_t> Request() {
    return EncodeRequest(MSGCODE_READ_NET_ATTR, frame::FlagRequest | frame::FlagPlcTarget, kDeviceNet,
                         kSequence, {});
}

std::vector<std::uint8_t> Reply(std::uint8_t msgCode = MSGCODE_READ_NET_ATTR,
                                std::uint8_t sequence = kSequence) {
    return EncodeReply(msgCode, frame::StatusOk, kDeviceNet, sequence, kBlock);
}

std::vector<std::uint8_t> Damaged() {
    std::vector<std::uint8_t> bytes = Reply();
    bytes.back() ^= 0xFF;
    return bytes;
}

std::vector<std::uint8_t> Part(std::vector<std::uint8_t> bytes, bool first) {
    const auto middle = bytes.begin() + std::ptrdiff_t(bytes.size() / 2);
    return first ? std::vector<std::uint8_t>(bytes.begin(), middle)
                 : std::vector<std::uint8_t>(middle, bytes.end());
}

// A reply header announcing a payload the buffer could take, then a zero byte every 90 ms: the frame
// never completes and never pauses long enough to be given up.
std::vector<Arrival> TrickleInsideAFrame(int fromMs) {
    std::vector<std::uint8_t> header = Reply();
    header.resize(frame::HeaderSize - 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        header.push_back(std::uint8_t((ReadNetAttrReplyCapacity - 1) >> shift));
    std::vector<Arrival> script{{fromMs, header}};
    for (int at = fromMs + 90; at < 5000; at += 90)
        script.push_back({at, {0x00}});
    return script;
}

struct TimingCase {
    const char* name;
    std::vector<Arrival> script;
    LinkResult expected;
    int heldMs; // from the call to its return, on the test's clock
};

// Reads DeviceNet's block over port 1 at 19200 bit/s.
LinkResult ReadBlock(ScriptedLink& link, std::vector<std::uint8_t>& reply, std::uint32_t& count) {
    link.m_bPLCTarget = 1;
    link.m_byNetworkType = kDeviceNet;
    link.m_nSerialPort = 1;
    link.m_wCommParam = 0x1001;
    EXPECT_EQ(link.InitializeCommMode(), 0u);
    SetLastSystemError(0);
    reply.assign(ReadNetAttrReplyCapacity, 0);
    return link.ProccessMsgCode_NoThread(MSGCODE_READ_NET_ATTR, true, nullptr, 0, reply.data(),
                                         ReadNetAttrReplyCapacity, &count);
}

class ExchangeTiming : public testing::TestWithParam<TimingCase> {};

TEST_P(ExchangeTiming, EndsWithItsResultAtItsTime) {
    const TimingCase& c = GetParam();
    ScriptedLink link(c.script);
    std::vector<std::uint8_t> reply;
    std::uint32_t count = 0;
    const LinkResult result = ReadBlock(link, reply, count);
    ResumeLinks();
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(link.ElapsedMs(), c.heldMs);
    EXPECT_EQ(link.line.written, Request());
    if (result == linkcode::Success) {
        EXPECT_EQ(std::vector<std::uint8_t>(reply.begin(), reply.begin() + count), kBlock);
        EXPECT_TRUE(link.line.open) << "the caller closes after a success";
    } else {
        EXPECT_FALSE(link.line.open) << "a failed exchange releases the port";
        EXPECT_EQ(LastSystemError(), result == linkcode::Transmit ? std::uint32_t(EIO) : 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ExchangeTiming,
    testing::Values(
        TimingCase{"AnswerAfter800Ms", {{800, Reply()}}, linkcode::Success, 800},
        TimingCase{"EchoThenAnswerAfter300Ms", {{1, Request()}, {300, Reply()}}, linkcode::Success, 300},
        TimingCase{"EchoInPiecesThenAnswer",
                   {{1, Part(Request(), true)}, {4, Part(Request(), false)}, {300, Reply()}},
                   linkcode::Success,
                   300},
        TimingCase{"GlitchByteThenAnswer", {{2, {0x00}}, {300, Reply()}}, linkcode::Success, 300},
        TimingCase{
            "GlitchStartByteThenAnswer", {{2, {frame::ReplyStart}}, {300, Reply()}}, linkcode::Success, 300},
        TimingCase{
            "AnswerWaitingBeforeTheRequestIsDiscarded", {{0, Reply()}}, linkcode::TimeOut, kFirstByteEndMs},
        TimingCase{"NoAnswer", {}, linkcode::TimeOut, kFirstByteEndMs},
        TimingCase{"AnswerAfterTheFirstByteWait",
                   {{kFirstByteEndMs + 1, Reply()}},
                   linkcode::TimeOut,
                   kFirstByteEndMs},
        TimingCase{"EarlierExchangesReplyThenAnswer",
                   {{100, Reply(MSGCODE_READ_NET_ATTR, kSequence - 1)}, {700, Reply()}},
                   linkcode::Success,
                   700},
        TimingCase{"EarlierExchangesReplyAlone",
                   {{100, Reply(MSGCODE_READ_NET_ATTR, kSequence - 1)}},
                   linkcode::TimeOut,
                   kFirstByteEndMs},
        TimingCase{"OtherRequestsReplyAlone",
                   {{100, Reply(MSGCODE_WRITE_NET_ATTR)}},
                   linkcode::TimeOut,
                   kFirstByteEndMs},
        TimingCase{"DamagedThenAnswer", {{100, Damaged()}, {400, Reply()}}, linkcode::Success, 400},
        TimingCase{"DamagedAlone", {{100, Damaged()}}, linkcode::Checksum, kFirstByteEndMs},
        TimingCase{"AnswerPausingUnderTheGap",
                   {{100, Part(Reply(), true)}, {199, Part(Reply(), false)}},
                   linkcode::Success,
                   199},
        TimingCase{"AnswerCutOff", {{100, Part(Reply(), true)}}, linkcode::TimeOut, kFirstByteEndMs},
        TimingCase{"EndlessFrameEndsAtTheExchangeBound", TrickleInsideAFrame(900), linkcode::TimeOut, 2506},
        TimingCase{"DeviceLost", {{200, {}, true}}, linkcode::Transmit, 200},
        TimingCase{"InterruptedWhileSilent", {{301, {}, false, true}}, linkcode::UserAbort, 350}),
    [](const auto& info) { return std::string(info.param.name); });

// Between reads the link sleeps through the bytes it still needs but the last, at the line's rate, instead
// of waking for each, and lets the read wait for the last: after the start byte a header's rest but one
// (7 bytes, 3.645 ms), after the header the payload and CRC but one (13 bytes, 6.770 ms), and with one
// byte to come, no sleep.
TEST(ExchangePacing, SleepsThroughTheBytesStillNeededButTheLast) {
    const std::vector<std::uint8_t> frame = Reply();
    const auto at = [&](std::size_t from, std::size_t to) {
        return std::vector<std::uint8_t>(frame.begin() + std::ptrdiff_t(from),
                                         frame.begin() + std::ptrdiff_t(to));
    };
    ScriptedLink link({{100, at(0, 1)},
                       {104, at(1, frame::HeaderSize)},
                       {111, at(frame::HeaderSize, frame.size() - 1)},
                       {112, at(frame.size() - 1, frame.size())}});
    std::vector<std::uint8_t> reply;
    std::uint32_t count = 0;
    ASSERT_EQ(ReadBlock(link, reply, count), linkcode::Success);
    EXPECT_EQ(link.line.awaited, (std::vector<std::chrono::microseconds>{std::chrono::microseconds(3645),
                                                                         std::chrono::microseconds(6770)}));
    EXPECT_EQ(link.ElapsedMs(), 112);
}

// A long reply's rest takes longer on the line than the byte gap: the link sleeps half the gap at most,
// so a read still takes bytes that came within the gap before silence is judged.
TEST(ExchangePacing, SleepsNoLongerThanHalfTheByteGap) {
    const std::vector<std::uint8_t> frame = EncodeReply(MSGCODE_READ_NET_ATTR, frame::StatusOk, kDeviceNet,
                                                        kSequence, std::vector<std::uint8_t>(1000, 0x11));
    ScriptedLink link({{100, Part(frame, true)}, {190, Part(frame, false)}});
    std::vector<std::uint8_t> reply;
    std::uint32_t count = 0;
    ASSERT_EQ(ReadBlock(link, reply, count), linkcode::Success);
    EXPECT_EQ(count, 1000u);
    EXPECT_EQ(link.line.awaited, std::vector<std::chrono::microseconds>{std::chrono::milliseconds(50)});
    EXPECT_EQ(link.ElapsedMs(), 190);
}

} // namespace
