#include "model/Hex.h"

namespace {

constexpr char Digits[] = "0123456789ABCDEF";

std::optional<std::uint8_t> DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<std::uint8_t>(c - 'a' + 10);
    return std::nullopt;
}

} // namespace

std::string ToHex(std::span<const std::uint8_t> bytes, std::string_view separator) {
    std::string text;
    text.reserve(bytes.size() * (2 + separator.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += separator;
        text += Digits[bytes[i] >> 4];
        text += Digits[bytes[i] & 0x0F];
    }
    return text;
}

std::optional<ByteString> FromHex(std::string_view text) {
    ByteString bytes;
    bytes.reserve(text.size() / 2);
    std::size_t i = 0;
    while (i < text.size()) {
        // Spaces may stand between pairs, never inside one.
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size())
            return std::nullopt;
        const auto high = DigitValue(text[i]);
        const auto low = DigitValue(text[i + 1]);
        if (!high || !low)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>((*high << 4) | *low));
        i += 2;
    }
    return bytes;
}
