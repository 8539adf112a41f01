#include "model/AddressRules.h"

#include "model/Ipv4Address.h"

#include <bit>
#include <cstdint>

namespace {

bool InBlock(std::uint32_t address, std::uint32_t block, int prefix) {
    return (address >> (32 - prefix)) == (block >> (32 - prefix));
}

// Why `ip` is no address a host can have, or nothing.
std::optional<std::string> NonHostKind(std::uint32_t ip) {
    if (InBlock(ip, 0x00000000, 8))
        return "is no host address";
    if (InBlock(ip, 0x7F000000, 8))
        return "is a loopback address";
    if (InBlock(ip, 0xE0000000, 4))
        return "is a multicast address";
    if (InBlock(ip, 0xF0000000, 4))
        return ip == 0xFFFFFFFF ? "is the broadcast address" : "is reserved";
    return std::nullopt;
}

// Why `mask` cannot serve a controller's subnet, or nothing.
std::optional<std::string> MaskFault(std::uint32_t mask) {
    const int prefix = std::countl_one(mask);
    if (prefix + std::countr_zero(mask) < 32)
        return "is not contiguous";
    // With no network part every address would be taken as on the wire, and the gateway never used.
    if (prefix == 0)
        return "has no network part: every address would be taken as local";
    // What is left besides the network and broadcast addresses is no host.
    if (prefix >= 31)
        return "leaves no host address in the subnet";
    return std::nullopt;
}

} // namespace

std::optional<AddressBreach> UnreachableAddress(const CNetAttributes& record) {
    const std::uint32_t ip = PackedAddress(record.m_byIpAddress);
    const std::uint32_t mask = PackedAddress(record.m_bySubnetMask);
    const std::uint32_t gateway = PackedAddress(record.m_byGateway);
    if (const auto fault = MaskFault(mask))
        return AddressBreach{EthernetAddress::Mask, "Subnet mask " + DottedQuad(mask) + ' ' + *fault};
    if (const auto kind = NonHostKind(ip))
        return AddressBreach{EthernetAddress::Ip, "IP address " + DottedQuad(ip) + ' ' + *kind};
    const std::uint32_t network = ip & mask;
    const std::string subnet = DottedQuad(network) + '/' + std::to_string(std::popcount(mask));
    if (ip == network)
        return AddressBreach{EthernetAddress::Ip, "IP address " + DottedQuad(ip) +
                                                      " is the network address of its subnet " + subnet};
    if (ip == (network | ~mask))
        return AddressBreach{EthernetAddress::Ip, "IP address " + DottedQuad(ip) +
                                                      " is the broadcast address of its subnet " + subnet};
    if (gateway == 0)
        return std::nullopt;
    if ((gateway & mask) != network)
        return AddressBreach{EthernetAddress::Gateway,
                             "Gateway " + DottedQuad(gateway) + " is outside the subnet " + subnet};
    if (gateway == ip)
        return AddressBreach{EthernetAddress::Gateway,
                             "Gateway " + DottedQuad(gateway) + " is the IP address itself"};
    return std::nullopt;
}
