#include "sim/ControllerLogic.h"

#include "model/NetAttributes.h"
#include "seriallink/frame/LinkCodes.h"
#include "seriallink/frame/MessageCodes.h"
#include "sim/FaultOption.h"

#include <gtest/gtest.h>

namespace {

using namespace linkcode;
constexpr std::uint8_t StatusId = MSGCODE_STATUS_ID, WriteNetAttr = MSGCODE_WRITE_NET_ATTR,
                       ReadNetAttr = MSGCODE_READ_NET_ATTR;
constexpr std::uint8_t kUnknownCode = 99;

Frame Request(std::uint8_t code, std::uint8_t type, ByteString payload) {
    return {{frame::RequestStart, code, frame::FlagRequest, type, 1, std::uint32_t(payload.size())}, payload};
}

ByteString Block(NetworkType type) {
    return CNetAttributes(type).BuildBlock();
}

struct RefusalCase {
    const char* name;
    std::uint8_t code;
    std::uint8_t type;
    ByteString payload;
    std::uint8_t status;
};

class ControllerRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ControllerRefusal, AnswersWithStatusAndKeepsTheStore) {
    const RefusalCase& c = GetParam();
    BlockStore store;
    store[1] = Block(NetworkDeviceNet);
    const BlockStore before = store;
    const ControllerAnswer answer = AnswerRequest(Request(c.code, c.type, c.payload), store);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_TRUE(answer.payload.empty());
    EXPECT_FALSE(answer.storeChanged);
    EXPECT_EQ(store, before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ControllerRefusal,
    testing::Values(
        RefusalCase{"UnknownCode", kUnknownCode, 1, {}, MessageCode},
        RefusalCase{"StatusIdWithPayload", StatusId, 0, {0x01}, MessageLength},
        RefusalCase{"ReadWithPayload", ReadNetAttr, 2, {0x00}, MessageLength},
        RefusalCase{"ReadTypeNone", ReadNetAttr, 0, {}, WrongType},
        RefusalCase{"ReadTypeFour", ReadNetAttr, 4, {}, WrongType},
        RefusalCase{"WriteTypeNone", WriteNetAttr, 0, {0x00, 0x02}, WrongType},
        RefusalCase{"WriteEmptyPayload", WriteNetAttr, 2, {}, MessageLength},
        RefusalCase{"WriteOneByte", WriteNetAttr, 2, {0x00}, MessageLength},
        RefusalCase{"WriteLengthFieldTooBig", WriteNetAttr, 2, {0x00, 0x0D, 0x02}, MessageLength},
        RefusalCase{"WriteTypeByteDiffers", WriteNetAttr, 2, Block(NetworkProfibus), WrongType},
        RefusalCase{"WriteShortBlockOfType", WriteNetAttr, 2, {0x00, 0x04, 0x02, 0x00}, MessageLength},
        RefusalCase{"WriteThreeByteBlock", WriteNetAttr, 1, {0x00, 0x03, 0x01}, MessageLength},
        // Several conditions at once: the first in the protocol page's order decides.
        RefusalCase{"ReadPayloadBeforeType", ReadNetAttr, 4, {0x00}, MessageLength},
        RefusalCase{"WriteTypeBeforeLengthField", WriteNetAttr, 4, {0x00}, WrongType},
        RefusalCase{"WriteLengthFieldBeforeTypeByte", WriteNetAttr, 2, {0x00, 0x05, 0x03}, MessageLength},
        RefusalCase{"WriteTypeByteBeforeSize", WriteNetAttr, 2, {0x00, 0x04, 0x03, 0x00}, WrongType}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ControllerLogic, WriteStoresReadReturnsAndEmptyBlockClearsPerType) {
    BlockStore store;
    for (NetworkType type : {NetworkEthernet, NetworkDeviceNet, NetworkProfibus}) {
        EXPECT_EQ(AnswerRequest(Request(ReadNetAttr, type, {}), store).payload, EmptyAttributeBlock());
        const ControllerAnswer written = AnswerRequest(Request(WriteNetAttr, type, Block(type)), store);
        EXPECT_EQ(written.status, 0);
        EXPECT_TRUE(written.storeChanged);
        EXPECT_EQ(AnswerRequest(Request(ReadNetAttr, type, {}), store).payload, Block(type));
    }
    EXPECT_EQ(AnswerRequest(Request(WriteNetAttr, NetworkEthernet, EmptyAttributeBlock()), store).status, 0);
    EXPECT_FALSE(store[0].has_value());
    EXPECT_EQ(store[1], Block(NetworkDeviceNet)) << "other types keep their blocks";
    EXPECT_EQ(AnswerRequest(Request(StatusId, 0, {}), store).payload, ctrl::StatusIdPayload);
}

struct FaultOptionCase {
    const char* name;
    const char* text;
    bool valid;
    SimFault fault;
    std::uint32_t value;
    int count;
    int code;
};

class FaultOptionParsing : public testing::TestWithParam<FaultOptionCase> {};

TEST_P(FaultOptionParsing, ReadsKindStatusCountAndCode) {
    const FaultOptionCase& c = GetParam();
    const auto option = ParseFaultOption(c.text);
    ASSERT_EQ(option.has_value(), c.valid);
    if (!option)
        return;
    EXPECT_EQ(option->fault, c.fault);
    EXPECT_EQ(option->value, c.value);
    EXPECT_EQ(option->count, c.count);
    EXPECT_EQ(option->onlyMsgCode, c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FaultOptionParsing,
    testing::Values(
        FaultOptionCase{"KindOnly", "no-reply", true, SimFault::NoReply, 0, 1, -1},
        FaultOptionCase{"Everything", "status:22x3@42", true, SimFault::Status, Password, 3, WriteNetAttr},
        FaultOptionCase{"CountAndCode", "oversizedx2@43", true, SimFault::OversizedReply, 0, 2, ReadNetAttr},
        FaultOptionCase{"SpaceInside", "oversized x2", false, SimFault::Status, 0, 0, 0},
        FaultOptionCase{"CodeOnly", "bad-crc@18", true, SimFault::BadChecksum, 0, 1, StatusId},
        FaultOptionCase{"Endless", "endless-headers@43", true, SimFault::EndlessHeaders, 0, 1, ReadNetAttr},
        FaultOptionCase{"UnknownKind", "explode", false, SimFault::Status, 0, 0, 0},
        FaultOptionCase{"StatusTooBig", "status:256", false, SimFault::Status, 0, 0, 0},
        FaultOptionCase{"LateTakesMilliseconds", "late:1300x2", true, SimFault::Late, 1300, 2, -1},
        FaultOptionCase{"EchoWithoutDelay", "echo@43", true, SimFault::Echo, 0, 1, ReadNetAttr},
        FaultOptionCase{"LateTooLong", "late:60001", false, SimFault::Status, 0, 0, 0},
        FaultOptionCase{"ZeroCount", "garbagex0", false, SimFault::Status, 0, 0, 0},
        FaultOptionCase{"CountWithoutNumber", "truncatedx", false, SimFault::Status, 0, 0, 0},
        FaultOptionCase{"TrailingText", "wrong-seq@43z", false, SimFault::Status, 0, 0, 0},
        FaultOptionCase{"OutOfOrder", "status@42:5", false, SimFault::Status, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
