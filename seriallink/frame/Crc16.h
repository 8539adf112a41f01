#pragma once

#include <cstdint>
#include <span>

// CRC-16 with polynomial 0x1021, initial value 0xFFFF, no reflection, no final XOR.
// Check value over the ASCII bytes "123456789": 0x29B1.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes);

// The CRC register after one more byte.
std::uint16_t Crc16Step(std::uint16_t crc, std::uint8_t byte);

// The CRC of a run of `length` bytes, from any one register fed with Crc16Step across them (started
// anywhere, with any value): `before` is its value ahead of their first byte, `after` past their last.
// Costs the same for every length, so a receiver can check many overlapping candidate frames.
std::uint16_t Crc16Between(std::uint16_t before, std::uint16_t after, std::uint64_t length);
