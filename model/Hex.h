#pragma once

#include "model/ByteString.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

// "00 0C 02": upper-case byte pairs, separated by `separator` (none for "000C02").
std::string ToHex(std::span<const std::uint8_t> bytes, std::string_view separator = " ");

// Byte pairs with or without spaces between them; none for anything else (a lone digit, a character
// that is no hex digit).
std::optional<ByteString> FromHex(std::string_view text);
