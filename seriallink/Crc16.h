#pragma once

#include <cstdint>
#include <span>

// CRC-16 with polynomial 0x1021, initial value 0xFFFF, no reflection, no final XOR.
// Check value over the ASCII bytes "123456789": 0x29B1.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes);
