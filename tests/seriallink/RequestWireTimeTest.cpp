#include "tests/seriallink/ScriptedLine.h"

#include "seriallink/frame/Frame.h"
#include "seriallink/frame/MessageCodes.h"

#include <gtest/gtest.h>

#include <climits>

// The write returns once the request is queued, or with some drivers once it has left; the write's
// time-out and the controller's first-byte time both run on top of the request's own time on the line,
// so a long request at a slow rate leaves the write and the reply their whole time.
namespace {

constexpr std::uint8_t kEthernet = 1;

struct WireCase {
    const char* name;
    std::uint16_t commParam;
    std::size_t payload;
    int replyAtMs; // 0: no reply
    LinkResult expected;
    int heldMs;
    int writeMs = 0; // the driver holds the write this long
};

class RequestWireTime : public testing::TestWithParam<WireCase> {};

TEST_P(RequestWireTime, FirstByteWaitStartsWhenTheRequestHasLeft) {
    const WireCase& c = GetParam();
    std::vector<Arrival> script;
    if (c.replyAtMs > 0)
        script.push_back(
            {c.replyAtMs, EncodeReply(MSGCODE_WRITE_NET_ATTR, frame::StatusOk, kEthernet, 1, {})});
    ScriptedLink link(script);
    link.line.writeMs = c.writeMs;
    link.m_strDeviceName = "scripted";
    link.m_wCommParam = c.commParam;
    link.m_byNetworkType = kEthernet;
    ASSERT_EQ(link.InitializeCommMode(), linkcode::Success);
    std::vector<std::uint8_t> payload(c.payload, 0x00);
    EXPECT_EQ(link.ProccessMsgCode_NoThread(MSGCODE_WRITE_NET_ATTR, true, payload.data(),
                                            std::uint32_t(payload.size()), nullptr, 0, nullptr),
              c.expected);
    EXPECT_EQ(link.line.written.size(), frame::Overhead + c.payload);
    EXPECT_EQ(link.ElapsedMs(), c.heldMs);
}

// 266 bytes on the line: 139 ms at 19200 bit/s, 278 ms at 9600; 20 bytes: 11 ms at 19200; 4011
// bytes: 4179 ms at 9600, which a driver that holds the write until its bytes have left takes to return.
INSTANTIATE_TEST_SUITE_P(
    Requests, RequestWireTime,
    testing::Values(
        WireCase{"LongRequestAnsweredWithinItsOwnTime", 0x1001, 255, 1130, linkcode::Success, 1130},
        WireCase{"LongRequestUnanswered", 0x1001, 255, 0, linkcode::TimeOut, 1139},
        WireCase{"LongRequestAtHalfTheRate", 0x1000, 255, 1270, linkcode::Success, 1270},
        WireCase{"LongRequestAtHalfTheRateUnanswered", 0x1000, 255, 0, linkcode::TimeOut, 1278},
        WireCase{"ShortRequestAnsweredTooLate", 0x1001, 9, 1012, linkcode::TimeOut, 1011},
        WireCase{"HugeRequestHeldUntilItHasLeft", 0x1000, 4000, 4479, linkcode::Success, 4479, 4179},
        WireCase{"HugeRequestNeverTaken", 0x1000, 4000, 0, linkcode::Transmit, 5179, INT_MAX}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
