#pragma once

#include <cstdint>
#include <string>

// An address's four octets as one number, the first octet most significant, as masks and subnets are
// worked out.
std::uint32_t PackedAddress(const std::uint8_t (&octets)[4]);

// "192.168.1.10".
std::string DottedQuad(std::uint32_t address);
std::string DottedQuad(const std::uint8_t (&octets)[4]);
