#include "seriallink/frame/Frame.h"
#include "model/Hex.h"
#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/Crc16.h"
#include "seriallink/frame/FrameDecoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes DeviceNetDefault{0x00, 0x0C, 0x02, 0x1E, 0x00, 0x00, 0x40, 0x00, 0x04, 0x00, 0x14, 0x00};
const Bytes ProfibusDefault{0x00, 0x0D, 0x03, 0x1E, 0x00, 0x00, 0x40, 0x00, 0x04, 0x00, 0x14, 0x00, 0x00};

TEST(Crc16, MatchesTheCatalogueCheckValueAndEmptyInput) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc16(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())), 0x29B1);
    EXPECT_EQ(Crc16({}), 0xFFFF);
}

TEST(Crc16, OfARunFromTheRunningRegisterMatchesTheDirectOne) {
    Bytes bytes(70000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = std::uint8_t(i * 131 + (i >> 7));
    std::vector<std::uint16_t> before{0x1234}; // any start value will do
    for (std::uint8_t byte : bytes)
        before.push_back(Crc16Step(before.back(), byte));
    for (const auto& [first, length] :
         {std::pair<std::size_t, std::size_t>{0, 0}, {5, 1}, {3, 9}, {100, 255}, {17, 65536}, {0, 70000}}) {
        const std::span<const std::uint8_t> run(bytes.data() + first, length);
        EXPECT_EQ(Crc16Between(before[first], before[first + length], length), Crc16(run))
            << first << "+" << length;
    }
}

struct Example {
    const char* name;
    Bytes bytes;
    const char* hex;
};

class ProtocolExample : public testing::TestWithParam<Example> {};

std::string ProtocolDocument() {
    std::ifstream in(TALVOR_PROTOCOL_DOC);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The page's examples must be exactly what the encoder produces.
TEST_P(ProtocolExample, EncoderProducesTheDocumentedBytes) {
    EXPECT_EQ(ToHex(GetParam().bytes), GetParam().hex);
    EXPECT_NE(ProtocolDocument().find(GetParam().hex), std::string::npos) << "missing from the protocol page";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProtocolExample,
    testing::Values(
        Example{"StatusIdRequest", EncodeRequest(18, frame::FlagPlcTarget, 0, 1, {}),
                "A5 12 02 00 01 00 00 00 00 0F 50"},
        Example{"StatusIdReply", EncodeReply(18, 0, 0, 1, Bytes{0x54, 0x56, 0x01, 0x00}),
                "5A 12 00 00 01 00 00 00 04 54 56 01 00 D6 FE"},
        Example{"DeviceNetWrite",
                EncodeRequest(42, frame::FlagRequest | frame::FlagPlcTarget, 2, 2, DeviceNetDefault),
                "A5 2A 03 02 02 00 00 00 0C 00 0C 02 1E 00 00 40 00 04 00 14 00 71 56"},
        Example{"DeviceNetWriteReply", EncodeReply(42, 0, 2, 2, {}), "5A 2A 00 02 02 00 00 00 00 DE 1A"},
        Example{"ProfibusRead", EncodeRequest(43, 0x03, 3, 3, {}), "A5 2B 03 03 03 00 00 00 00 22 87"},
        Example{"ProfibusReadReply", EncodeReply(43, 0, 3, 3, ProfibusDefault),
                "5A 2B 00 03 03 00 00 00 0D 00 0D 03 1E 00 00 40 00 04 00 14 00 00 CA 48"},
        Example{"EthernetRead", EncodeRequest(43, 0x03, 1, 4, {}), "A5 2B 03 01 04 00 00 00 00 CE 13"},
        Example{"EmptyBlockReply", EncodeReply(43, 0, 1, 4, Bytes{0x00, 0x02}),
                "5A 2B 00 01 04 00 00 00 02 00 02 CD 64"},
        Example{"MismatchedWrite", EncodeRequest(42, 0x03, 2, 5, ProfibusDefault),
                "A5 2A 03 02 05 00 00 00 0D 00 0D 03 1E 00 00 40 00 04 00 14 00 00 68 3E"},
        Example{"StatusReply", EncodeReply(42, 9, 2, 5, {}), "5A 2A 09 02 05 00 00 00 00 92 02"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Frame, DecodesEveryHeaderFieldItEncodes) {
    const Bytes payload(300, 0x5A);
    FrameDecoder decoder(frame::RequestStart, 1000);
    FrameDecoder::Results found;
    decoder.Feed(EncodeRequest(0xFE, 0x03, 0x7F, 0xFF, payload), found);
    ASSERT_EQ(found.size(), 1u);
    ASSERT_EQ(found[0].event, FrameDecoder::Event::Frame);
    const FrameHeader& h = found[0].header;
    EXPECT_EQ(std::tuple(h.start, h.msgCode, h.control, h.networkType, h.sequence, h.payloadLength),
              std::tuple(frame::RequestStart, 0xFE, 0x03, 0x7F, 0xFF, 300u));
    EXPECT_EQ(found[0].payload, payload);
}

struct CommParamCase {
    const char* name;
    std::uint16_t param;
    std::int32_t baudRate; // 0: refused
};

class CommParamDecoding : public testing::TestWithParam<CommParamCase> {};

TEST_P(CommParamDecoding, SelectsRateAndFraming) {
    const auto settings = DecodeCommParam(GetParam().param);
    if (GetParam().baudRate == 0) {
        EXPECT_FALSE(settings.has_value());
        return;
    }
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->baudRate, GetParam().baudRate);
    EXPECT_EQ(settings->bitsPerByte, 10);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommParamDecoding,
    testing::Values(CommParamCase{"Default", 0x1001, 19200}, CommParamCase{"Slowest", 0x1000, 9600},
                    CommParamCase{"Fastest", 0x1004, 115200}, CommParamCase{"RateBeyondList", 0x1005, 0},
                    CommParamCase{"UnknownFraming", 0x2001, 0}, CommParamCase{"Zero", 0x0000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
