#include "model/AddressRules.h"
#include "model/Ipv4Address.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct AddressCase {
    std::uint8_t ip[4];
    std::uint8_t mask[4];
    std::uint8_t gateway[4];
    const char* refusal; // empty when the addresses are fine
    EthernetAddress blamed = EthernetAddress::Ip;
};

class AddressRulesTest : public testing::TestWithParam<AddressCase> {};

TEST_P(AddressRulesTest, RefusesWhatCutsTheControllerOff) {
    const AddressCase& c = GetParam();
    CNetAttributes record(NetworkEthernet);
    std::copy(std::begin(c.ip), std::end(c.ip), record.m_byIpAddress);
    std::copy(std::begin(c.mask), std::end(c.mask), record.m_bySubnetMask);
    std::copy(std::begin(c.gateway), std::end(c.gateway), record.m_byGateway);
    const std::optional<AddressBreach> breach = UnreachableAddress(record);
    EXPECT_EQ(breach ? breach->text : std::string(), c.refusal);
    if (breach) {
        EXPECT_EQ(breach->blamed, c.blamed) << c.refusal;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, AddressRulesTest,
    testing::Values(
        AddressCase{{192, 168, 10, 50}, {255, 255, 255, 0}, {192, 168, 10, 1}, ""},
        AddressCase{{10, 1, 2, 3}, {255, 0, 0, 0}, {0, 0, 0, 0}, ""},
        AddressCase{{10, 1, 2, 3},
                    {255, 255, 255, 1},
                    {0, 0, 0, 0},
                    "Subnet mask 255.255.255.1 is not contiguous",
                    EthernetAddress::Mask},
        AddressCase{{192, 168, 10, 50},
                    {255, 255, 255, 255},
                    {0, 0, 0, 0},
                    "Subnet mask 255.255.255.255 leaves no host address in the subnet",
                    EthernetAddress::Mask},
        AddressCase{{192, 168, 10, 50},
                    {255, 255, 255, 254},
                    {0, 0, 0, 0},
                    "Subnet mask 255.255.255.254 leaves no host address in the subnet",
                    EthernetAddress::Mask},
        AddressCase{{192, 168, 10, 50},
                    {0, 0, 0, 0},
                    {10, 0, 0, 1},
                    "Subnet mask 0.0.0.0 has no network part: every address would be taken as local",
                    EthernetAddress::Mask},
        AddressCase{{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}, "IP address 0.0.0.0 is no host address"},
        AddressCase{
            {127, 0, 0, 1}, {255, 0, 0, 0}, {0, 0, 0, 0}, "IP address 127.0.0.1 is a loopback address"},
        AddressCase{
            {224, 0, 0, 5}, {255, 255, 255, 0}, {0, 0, 0, 0}, "IP address 224.0.0.5 is a multicast address"},
        AddressCase{{240, 0, 0, 5}, {255, 255, 255, 0}, {0, 0, 0, 0}, "IP address 240.0.0.5 is reserved"},
        AddressCase{{255, 255, 255, 255},
                    {255, 255, 255, 0},
                    {0, 0, 0, 0},
                    "IP address 255.255.255.255 is the broadcast address"},
        AddressCase{{192, 168, 10, 0},
                    {255, 255, 255, 0},
                    {0, 0, 0, 0},
                    "IP address 192.168.10.0 is the network address of its subnet 192.168.10.0/24"},
        AddressCase{{192, 168, 11, 255},
                    {255, 255, 254, 0},
                    {0, 0, 0, 0},
                    "IP address 192.168.11.255 is the broadcast address of its subnet 192.168.10.0/23"},
        AddressCase{{192, 168, 10, 50},
                    {255, 255, 255, 0},
                    {192, 168, 11, 1},
                    "Gateway 192.168.11.1 is outside the subnet 192.168.10.0/24",
                    EthernetAddress::Gateway},
        AddressCase{{192, 168, 10, 50},
                    {255, 255, 255, 0},
                    {192, 168, 10, 50},
                    "Gateway 192.168.10.50 is the IP address itself",
                    EthernetAddress::Gateway}));

TEST(Ipv4Address, PacksFirstOctetMostSignificantAndPrintsItBack) {
    const std::uint8_t octets[4]{192, 168, 1, 254};
    EXPECT_EQ(PackedAddress(octets), 0xC0A801FEu);
    EXPECT_EQ(DottedQuad(octets), "192.168.1.254");
    EXPECT_EQ(DottedQuad(0xFFFFFFFFu), "255.255.255.255");
}

} // namespace
