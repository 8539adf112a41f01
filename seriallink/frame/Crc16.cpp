#include "seriallink/frame/Crc16.h"

#include <array>

namespace {

constexpr std::uint16_t Polynomial = 0x1021;
constexpr std::uint16_t Initial = 0xFFFF;

constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        std::uint16_t crc = static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ Polynomial : crc << 1);
        table[byte] = crc;
    }
    return table;
}

constexpr auto Table = MakeTable();

constexpr std::uint16_t Step(std::uint16_t crc, std::uint8_t byte) {
    return static_cast<std::uint16_t>((crc << 8) ^ Table[((crc >> 8) ^ byte) & 0xFF]);
}

// Feeding zero bytes is linear in the register: ZeroRuns[b][i] is where bit i goes after 2^b zero bytes.
constexpr int RunLevels = 64;
using Matrix = std::array<std::uint16_t, 16>;

constexpr std::uint16_t Apply(const Matrix& m, std::uint16_t value) {
    std::uint16_t result = 0;
    for (int bit = 0; bit < 16; ++bit)
        if (value & (1u << bit))
            result ^= m[bit];
    return result;
}

constexpr std::array<Matrix, RunLevels> MakeZeroRuns() {
    std::array<Matrix, RunLevels> runs{};
    for (int bit = 0; bit < 16; ++bit)
        runs[0][bit] = Step(static_cast<std::uint16_t>(1u << bit), 0);
    for (int level = 1; level < RunLevels; ++level)
        for (int bit = 0; bit < 16; ++bit)
            runs[level][bit] = Apply(runs[level - 1], runs[level - 1][bit]);
    return runs;
}

constexpr auto ZeroRuns = MakeZeroRuns();

} // namespace

std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = Initial;
    for (std::uint8_t byte : bytes)
        crc = Step(crc, byte);
    return crc;
}

std::uint16_t Crc16Step(std::uint16_t crc, std::uint8_t byte) {
    return Step(crc, byte);
}

std::uint16_t Crc16Between(std::uint16_t before, std::uint16_t after, std::uint64_t length) {
    // The register is affine in its start value: after = run(before) ^ (the bytes' own part), and the
    // CRC is run(Initial) ^ (the same part), where run() feeds `length` zero bytes.
    std::uint16_t difference = before ^ Initial;
    for (int level = 0; length != 0; ++level, length >>= 1)
        if (length & 1)
            difference = Apply(ZeroRuns[level], difference);
    return static_cast<std::uint16_t>(after ^ difference);
}
