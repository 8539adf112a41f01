#include "model/NetAttributes.h"
#include "tests/support/TestNames.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Octets = std::array<int, 4>;

Octets OctetsOf(const std::uint8_t (&bytes)[4]) {
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

struct Defaults {
    NetworkType type;
    int inputWords, outputWords, nodeAddress;
    Octets ip, mask;
};

class SetDefaultsTest : public testing::TestWithParam<Defaults> {};

void ChangeEveryField(CNetAttributes& record) {
    record.m_nTimeout = 200;
    record.m_nPollTime = 9;
    record.m_nInputWords = 111;
    record.m_nOutputWords = 112;
    record.m_nNodeAddress = 113;
    record.m_byBaudRate = 2;
    for (int i = 0; i < 4; ++i) {
        record.m_byIpAddress[i] = static_cast<std::uint8_t>(10 + i);
        record.m_bySubnetMask[i] = static_cast<std::uint8_t>(20 + i);
        record.m_byGateway[i] = static_cast<std::uint8_t>(30 + i);
    }
    record.m_nPortNumber = 502;
}

void ExpectDefaults(const CNetAttributes& record, const Defaults& expected) {
    EXPECT_EQ(record.m_nType, expected.type);
    EXPECT_EQ(record.m_nTimeout, 30);
    EXPECT_EQ(record.m_nPollTime, 0);
    EXPECT_EQ(record.m_nInputWords, expected.inputWords);
    EXPECT_EQ(record.m_nOutputWords, expected.outputWords);
    EXPECT_EQ(record.m_nNodeAddress, expected.nodeAddress);
    EXPECT_EQ(record.m_byBaudRate, 0);
    EXPECT_EQ(OctetsOf(record.m_byIpAddress), expected.ip);
    EXPECT_EQ(OctetsOf(record.m_bySubnetMask), expected.mask);
    EXPECT_EQ(OctetsOf(record.m_byGateway), (Octets{0, 0, 0, 0}));
    EXPECT_EQ(record.m_nPortNumber, 0);
}

TEST_P(SetDefaultsTest, ConstructionStartsAtTheTypeDefaults) {
    ExpectDefaults(CNetAttributes(GetParam().type), GetParam());
}

TEST_P(SetDefaultsTest, RestoresEveryFieldOfAFullyChangedRecordAndKeepsItsType) {
    CNetAttributes record(GetParam().type);
    ChangeEveryField(record);
    record.SetDefaults();
    ExpectDefaults(record, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Types, SetDefaultsTest,
    testing::Values(Defaults{NetworkEthernet, 16, 16, 1, {192, 168, 1, 1}, {255, 255, 255, 0}},
                    Defaults{NetworkDeviceNet, 32, 2, 20, {0, 0, 0, 0}, {0, 0, 0, 0}},
                    Defaults{NetworkProfibus, 32, 2, 20, {0, 0, 0, 0}, {0, 0, 0, 0}},
                    Defaults{NetworkNone, 16, 16, 1, {0, 0, 0, 0}, {0, 0, 0, 0}}),
    [](const auto& info) { return NetworkTypeName(info.param.type); });

TEST(NetAttributes, AddressOctetsAreHeldInDottedOrderAndTravelSo) {
    CNetAttributes record(NetworkEthernet);
    const std::uint8_t address[4] = {10, 0, 0, 254};
    std::copy(std::begin(address), std::end(address), record.m_byIpAddress);
    EXPECT_EQ(OctetsOf(record.m_byIpAddress), (Octets{10, 0, 0, 254}));
    const ByteString block = record.BuildBlock();
    EXPECT_EQ(ByteString(block.begin() + 3, block.begin() + 7), (ByteString{10, 0, 0, 254}));
}

} // namespace
