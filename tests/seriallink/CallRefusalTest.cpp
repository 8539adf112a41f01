#include "tests/seriallink/ScriptedLine.h"

#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/Frame.h"
#include "seriallink/frame/MessageCodes.h"

#include <gtest/gtest.h>

// Calls the link refuses before anything goes on the line: each gives its code and, like every failed
// call, leaves the port released for whoever wants the line next.
namespace {

struct RefusalCase {
    const char* name;
    bool opened;
    std::uint8_t msgCode;
    bool payloadGiven;
    std::uint32_t payloadLength;
    bool replyGiven;
    std::uint32_t replyCapacity;
    LinkResult expected;
};

class RefusedCall : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedCall, SendsNothingAndReleasesThePort) {
    const RefusalCase& c = GetParam();
    ScriptedLink link({});
    link.m_strDeviceName = "scripted";
    link.m_wCommParam = COMM_PARAM_DEFAULT;
    if (c.opened) {
        ASSERT_EQ(link.InitializeCommMode(), linkcode::Success);
    }

    std::vector<std::uint8_t> payload(c.payloadLength);
    std::vector<std::uint8_t> reply(c.replyCapacity);
    std::uint32_t count = 0;
    EXPECT_EQ(link.ProccessMsgCode_NoThread(c.msgCode, true, c.payloadGiven ? payload.data() : nullptr,
                                            c.payloadLength, c.replyGiven ? reply.data() : nullptr,
                                            c.replyCapacity, &count),
              c.expected);
    EXPECT_TRUE(link.line.written.empty()) << "something went on the line";
    EXPECT_FALSE(link.line.open) << "the port is still held";
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(link.InitializeCommMode(), linkcode::Success) << "the next call opens as usual";
}

INSTANTIATE_TEST_SUITE_P(Mistakes, RefusedCall,
                         testing::Values(RefusalCase{"NotOpened", false, MSGCODE_STATUS_ID, false, 0, true, 1,
                                                     linkcode::NotInitialized},
                                         RefusalCase{"LengthWithoutPayload", true, MSGCODE_WRITE_NET_ATTR,
                                                     false, 5, false, 0, linkcode::InvalidArgument},
                                         RefusalCase{"CapacityWithoutReplyBuffer", true, MSGCODE_STATUS_ID,
                                                     false, 0, false, 10, linkcode::InvalidArgument},
                                         RefusalCase{"PayloadBeyondTheFrame", true, MSGCODE_WRITE_NET_ATTR,
                                                     true, frame::MaxRequestPayload + 1, false, 0,
                                                     linkcode::MessageLength}),
                         [](const auto& info) { return std::string(info.param.name); });

// A reply with bytes for a caller that gave no buffer for them is refused, not copied to nowhere, and
// the port is released as after any failed exchange.
TEST(RefusedReply, StatusIdWithoutAReplyBuffer) {
    const std::vector<std::uint8_t> id{0x54, 0x56, 0x01, 0x00};
    ScriptedLink link({{100, EncodeReply(MSGCODE_STATUS_ID, frame::StatusOk, 0, 1, id)}});
    link.m_strDeviceName = "scripted";
    link.m_wCommParam = COMM_PARAM_DEFAULT;
    ASSERT_EQ(link.InitializeCommMode(), linkcode::Success);
    std::uint32_t count = 0;
    EXPECT_EQ(link.ProccessMsgCode_NoThread(MSGCODE_STATUS_ID, false, nullptr, 0, nullptr, 0, &count),
              linkcode::MessageLength);
    EXPECT_FALSE(link.line.written.empty());
    EXPECT_FALSE(link.line.open);
    EXPECT_EQ(count, 0u);
}

} // namespace
