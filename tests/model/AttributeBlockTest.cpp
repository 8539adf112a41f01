#include "model/NetAttributes.h"
#include "tests/support/DefaultBlocks.h"
#include "tests/support/TestNames.h"

#include <gtest/gtest.h>

namespace {

struct DefaultEncoding {
    NetworkType type;
    ByteString block;
};

class DefaultBlockTest : public testing::TestWithParam<DefaultEncoding> {};

TEST_P(DefaultBlockTest, RecordAtDefaultsEncodesToKnownBytes) {
    EXPECT_EQ(CNetAttributes(GetParam().type).BuildBlock(), GetParam().block);
    EXPECT_EQ(AttributeBlockLength(GetParam().type), GetParam().block.size()); // what the controller accepts
}

INSTANTIATE_TEST_SUITE_P(Types, DefaultBlockTest,
                         testing::Values(DefaultEncoding{NetworkEthernet, EthernetDefaultBlock},
                                         DefaultEncoding{NetworkDeviceNet, DeviceNetDefaultBlock},
                                         DefaultEncoding{NetworkProfibus, ProfibusDefaultBlock}),
                         [](const auto& info) { return NetworkTypeName(info.param.type); });

TEST(AttributeBlock, DeviceNetMacId63At500kEncodesWithWordCounts) {
    CNetAttributes record(NetworkDeviceNet);
    record.m_nNodeAddress = 63;
    record.m_byBaudRate = 2;
    record.m_nInputWords = 127;
    record.m_nOutputWords = 8;
    EXPECT_EQ(record.BuildBlock(),
              (ByteString{0x00, 0x0C, 0x02, 0x1E, 0x00, 0x00, 0xFE, 0x00, 0x10, 0x00, 0x3F, 0x02}));
}

struct WordCountEncoding {
    int words;
    std::uint8_t high, low;
};

class WordCountEncodeTest : public testing::TestWithParam<WordCountEncoding> {};

TEST_P(WordCountEncodeTest, CountTravelsDoubledBigEndian) {
    CNetAttributes record(NetworkProfibus);
    record.m_nInputWords = GetParam().words;
    record.m_nOutputWords = GetParam().words;
    const ByteString block = record.BuildBlock();
    EXPECT_EQ(block[5], GetParam().high);
    EXPECT_EQ(block[6], GetParam().low);
    EXPECT_EQ(block[7], GetParam().high);
    EXPECT_EQ(block[8], GetParam().low);
}

INSTANTIATE_TEST_SUITE_P(Counts, WordCountEncodeTest,
                         testing::Values(WordCountEncoding{0, 0x00, 0x00}, WordCountEncoding{127, 0x00, 0xFE},
                                         WordCountEncoding{128, 0x01, 0x00},
                                         WordCountEncoding{32767, 0xFF, 0xFE}),
                         [](const auto& info) { return NumberName(info.param.words); });

struct ByteTruncation {
    int value;
    std::uint8_t encoded;
};

class ByteTruncationTest : public testing::TestWithParam<ByteTruncation> {};

TEST_P(ByteTruncationTest, OneByteFieldsKeepTheirLowEightBits) {
    CNetAttributes fieldbus(NetworkDeviceNet);
    fieldbus.m_nTimeout = GetParam().value;
    fieldbus.m_nPollTime = GetParam().value;
    fieldbus.m_nNodeAddress = GetParam().value;
    const ByteString block = fieldbus.BuildBlock();
    EXPECT_EQ(block[3], GetParam().encoded);
    EXPECT_EQ(block[4], GetParam().encoded);
    EXPECT_EQ(block[10], GetParam().encoded);

    CNetAttributes ethernet(NetworkEthernet);
    ethernet.m_nTimeout = GetParam().value;
    ethernet.m_nPollTime = GetParam().value;
    const ByteString ethernetBlock = ethernet.BuildBlock();
    EXPECT_EQ(ethernetBlock[17], GetParam().encoded);
    EXPECT_EQ(ethernetBlock[18], GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(Values, ByteTruncationTest,
                         testing::Values(ByteTruncation{256, 0x00}, ByteTruncation{300, 0x2C},
                                         ByteTruncation{-56, 0xC8}, ByteTruncation{255, 0xFF}),
                         [](const auto& info) { return NumberName(info.param.value); });

TEST(AttributeBlock, FieldsNoBlockCarriesDoNotChangeTheEncoding) {
    CNetAttributes ethernet(NetworkEthernet);
    CNetAttributes changedEthernet(NetworkEthernet);
    changedEthernet.m_nInputWords = 99;
    changedEthernet.m_nOutputWords = 77;
    changedEthernet.m_nNodeAddress = 42;
    changedEthernet.m_byBaudRate = 2;
    changedEthernet.m_nPortNumber = 502;
    EXPECT_EQ(changedEthernet.BuildBlock(), ethernet.BuildBlock());

    CNetAttributes profibus(NetworkProfibus);
    CNetAttributes changedProfibus(NetworkProfibus);
    changedProfibus.m_byBaudRate = 0xAB;
    changedProfibus.m_byIpAddress[0] = 10;
    changedProfibus.m_bySubnetMask[3] = 255;
    changedProfibus.m_byGateway[1] = 7;
    changedProfibus.m_nPortNumber = 1;
    const ByteString block = changedProfibus.BuildBlock();
    EXPECT_EQ(block, profibus.BuildBlock());
    EXPECT_EQ(block[11], 0x00);
    EXPECT_EQ(block[12], 0x00);
}

TEST(AttributeBlock, EmptyBlockIsTheLengthFieldAlone) {
    EXPECT_EQ(EmptyAttributeBlock(), (ByteString{0x00, 0x02}));
}

TEST(AttributeBlockDecode, DeviceNetReplySetsEveryDecodedField) {
    CNetAttributes record(NetworkDeviceNet);
    record.ParseBlock({0x00, 0x0C, 0x02, 0x05, 0x07, 0x00, 0xFF, 0x01, 0x01, 0x99, 0x3F, 0x02});
    EXPECT_EQ(record.m_nTimeout, 5);
    EXPECT_EQ(record.m_nPollTime, 7);
    EXPECT_EQ(record.m_nInputWords, 127); // lowest bit dropped
    EXPECT_EQ(record.m_nOutputWords, 128);
    EXPECT_EQ(record.m_nNodeAddress, 63);
    EXPECT_EQ(record.m_byBaudRate, 2);
}

TEST(AttributeBlockDecode, SignedBytesDecodeNegativeAndReencodeToTheSameByte) {
    CNetAttributes record(NetworkProfibus);
    const ByteString reply{0x00, 0x0D, 0x03, 0x80, 0xFF, 0x00, 0x40, 0x00, 0x04, 0x00, 0xC8, 0x00, 0x00};
    record.ParseBlock(reply);
    EXPECT_EQ(record.m_nTimeout, -128);
    EXPECT_EQ(record.m_nPollTime, -1);
    EXPECT_EQ(record.m_nNodeAddress, -56);
    EXPECT_EQ(record.BuildBlock(), reply);
}

TEST(AttributeBlockDecode, ReplyNamingAnotherTypeDecodesIntoTheRecordWhichKeepsItsType) {
    CNetAttributes record(NetworkProfibus);
    record.m_byBaudRate = 1;
    record.m_byIpAddress[0] = 10;
    record.ParseBlock({0x00, 0x0C, 0x02, 0x01, 0x02, 0x00, 0x08, 0x00, 0x0A, 0x00, 0x09, 0x02});
    EXPECT_EQ(record.m_nType, NetworkProfibus);
    EXPECT_EQ(record.m_nNodeAddress, 9);
    EXPECT_EQ(record.m_nInputWords, 4);
    EXPECT_EQ(record.m_nOutputWords, 5);
    EXPECT_EQ(record.m_byBaudRate, 1); // Profibus ignores byte 11
    EXPECT_EQ(record.m_byIpAddress[0], 10);
}

TEST(AttributeBlockDecode, ProfibusNeedsElevenBytesAndDeviceNetTwelve) {
    const ByteString twelve{0x00, 0x0C, 0x02, 0x01, 0x02, 0x00, 0x08, 0x00, 0x0A, 0x00, 0x09, 0x02};
    const ByteString eleven(twelve.begin(), twelve.begin() + 11);

    CNetAttributes profibus(NetworkProfibus);
    profibus.ParseBlock(eleven);
    EXPECT_EQ(profibus.m_nNodeAddress, 9);

    CNetAttributes deviceNet(NetworkDeviceNet);
    const CNetAttributes before = deviceNet;
    deviceNet.ParseBlock(eleven);
    EXPECT_EQ(deviceNet.BuildBlock(), before.BuildBlock());
}

TEST(AttributeBlockDecode, ShortBlocksLeaveTheRecordUnchanged) {
    for (NetworkType type : {NetworkEthernet, NetworkDeviceNet, NetworkProfibus}) {
        CNetAttributes record(type);
        record.m_nNodeAddress = 33;
        const ByteString expected = record.BuildBlock();
        for (std::size_t length = 0; length < record.ParsedLength(); ++length) {
            // Exactly sized heap copies, so a sanitizer flags any read past the end.
            const ByteString shortBlock(length, 0xEE);
            record.ParseBlock(shortBlock);
            EXPECT_EQ(record.BuildBlock(), expected) << "type " << type << " length " << length;
        }
    }
}

TEST(AttributeBlockRoundTrip, EthernetRecordReadsBackItsAddressesTimeoutAndPollTime) {
    CNetAttributes source(NetworkEthernet);
    const std::uint8_t gateway[4] = {10, 0, 0, 254};
    std::copy(std::begin(gateway), std::end(gateway), source.m_byGateway);
    source.m_nTimeout = 200;
    source.m_nPollTime = 7;
    CNetAttributes target(NetworkEthernet);
    target.m_nNodeAddress = 42;
    target.ParseBlock(source.BuildBlock());
    EXPECT_EQ(target.BuildBlock(), source.BuildBlock());
    EXPECT_EQ(target.m_nTimeout, -56); // a signed byte, as the fieldbus timeout reads
    EXPECT_EQ(target.m_nNodeAddress, 42) << "fields outside the Ethernet block keep their values";
}

TEST(AttributeBlockRoundTrip, WordCountsSurviveEncodeAndDecode) {
    for (int words : {0, 1, 64, 127, 128, 1000, 32767}) {
        CNetAttributes source(NetworkDeviceNet);
        source.m_nInputWords = words;
        source.m_nOutputWords = 32767 - words;
        CNetAttributes target(NetworkDeviceNet);
        target.ParseBlock(source.BuildBlock());
        EXPECT_EQ(target.m_nInputWords, words);
        EXPECT_EQ(target.m_nOutputWords, 32767 - words);
    }
}

} // namespace
