#include "cli/AddressRules.h"

#include <bit>
#include <cstdint>

namespace {

std::uint32_t Packed(const std::uint8_t (&octets)[4]) {
    return (std::uint32_t{octets[0]} << 24) | (std::uint32_t{octets[1]} << 16) |
           (std::uint32_t{octets[2]} << 8) | octets[3];
}

QString Dotted(std::uint32_t address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

bool InBlock(std::uint32_t address, std::uint32_t block, int prefix) {
    return (address >> (32 - prefix)) == (block >> (32 - prefix));
}

// Why `ip` is no address a host can have, or nothing.
std::optional<QString> NonHostKind(std::uint32_t ip) {
    if (InBlock(ip, 0x00000000, 8))
        return QStringLiteral("is no host address");
    if (InBlock(ip, 0x7F000000, 8))
        return QStringLiteral("is a loopback address");
    if (InBlock(ip, 0xE0000000, 4))
        return QStringLiteral("is a multicast address");
    if (InBlock(ip, 0xF0000000, 4))
        return ip == 0xFFFFFFFF ? QStringLiteral("is the broadcast address") : QStringLiteral("is reserved");
    return std::nullopt;
}

} // namespace

std::optional<QString> UnreachableAddress(const CNetAttributes& record) {
    const std::uint32_t ip = Packed(record.m_byIpAddress);
    const std::uint32_t mask = Packed(record.m_bySubnetMask);
    const std::uint32_t gateway = Packed(record.m_byGateway);
    // Contiguous: all ones, then all zeros.
    if (std::countl_one(mask) + std::countr_zero(mask) < 32)
        return QStringLiteral("Subnet mask %1 is not contiguous").arg(Dotted(mask));
    if (const auto kind = NonHostKind(ip))
        return QStringLiteral("IP address %1 %2").arg(Dotted(ip), *kind);
    const std::uint32_t network = ip & mask;
    const QString subnet = QStringLiteral("%1/%2").arg(Dotted(network)).arg(std::popcount(mask));
    if (ip == network)
        return QStringLiteral("IP address %1 is the network address of its subnet %2")
            .arg(Dotted(ip), subnet);
    if (ip == (network | ~mask))
        return QStringLiteral("IP address %1 is the broadcast address of its subnet %2")
            .arg(Dotted(ip), subnet);
    if (gateway == 0)
        return std::nullopt;
    if ((gateway & mask) != network)
        return QStringLiteral("Gateway %1 is outside the subnet %2").arg(Dotted(gateway), subnet);
    if (gateway == ip)
        return QStringLiteral("Gateway %1 is the IP address itself").arg(Dotted(gateway));
    return std::nullopt;
}
