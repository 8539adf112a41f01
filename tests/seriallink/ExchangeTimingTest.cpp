#include "tests/seriallink/ScriptedLine.h"

#include "seriallink/Frame.h"
#include "seriallink/MessageCodes.h"

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

class ExchangeTiming : public testing::TestWithParam<TimingCase> {};

TEST_P(ExchangeTiming, EndsWithItsResultAtItsTime) {
    const TimingCase& c = GetParam();
    ScriptedLink link(c.script);
    link.m_bPLCTarget = 1;
    link.m_byNetworkType = kDeviceNet;
    link.m_nSerialPort = 1;
    link.m_wCommParam = 0x1001;
    ASSERT_EQ(link.InitializeCommMode(), 0u);
    SetLastSystemError(0);

    std::vector<std::uint8_t> reply(ReadNetAttrReplyCapacity);
    std::uint32_t count = 0;
    const LinkResult result = link.ProccessMsgCode_NoThread(MSGCODE_READ_NET_ATTR, true, nullptr, 0,
                                                            reply.data(), ReadNetAttrReplyCapacity, &count);
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
        TimingCase{"EndlessFrameEndsAtTheExchangeBound", TrickleInsideAFrame(900), linkcode::TimeOut, 2500},
        TimingCase{"DeviceLost", {{200, {}, true}}, linkcode::Transmit, 200}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
