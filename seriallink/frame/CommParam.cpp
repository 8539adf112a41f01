#include "seriallink/frame/CommParam.h"

#include <array>

namespace {
constexpr std::array<std::int32_t, 5> Rates{9600, 19200, 38400, 57600, 115200};
constexpr std::uint8_t Framing8N1 = 0x10;
} // namespace

std::optional<LineSettings> DecodeCommParam(std::uint16_t param) {
    const std::uint8_t rate = param & 0xFF;
    const std::uint8_t framing = param >> 8;
    if (framing != Framing8N1 || rate >= Rates.size())
        return std::nullopt;
    return LineSettings{Rates[rate], 10};
}
