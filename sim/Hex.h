#pragma once

#include "model/ByteString.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

// "00 0C 02": upper-case byte pairs separated by single spaces.
std::string ToHex(std::span<const std::uint8_t> bytes);

// Accepts byte pairs with or without spaces between them; none for anything else.
std::optional<ByteString> FromHex(std::string_view text);
