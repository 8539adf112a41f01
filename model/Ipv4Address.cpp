#include "model/Ipv4Address.h"

std::uint32_t PackedAddress(const std::uint8_t (&octets)[4]) {
    return (std::uint32_t{octets[0]} << 24) | (std::uint32_t{octets[1]} << 16) |
           (std::uint32_t{octets[2]} << 8) | octets[3];
}

std::string DottedQuad(std::uint32_t address) {
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
           std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

std::string DottedQuad(const std::uint8_t (&octets)[4]) {
    return DottedQuad(PackedAddress(octets));
}
