#pragma once

#include "res/ResourceIds.h"

#include <cstdint>
#include <optional>

// Codes the user is never told about: success, and 18. A request that received 18 has still failed.
bool IsSilentLinkResult(std::uint32_t code);

// The string table id that explains a link result code; none for silent and unknown codes.
std::optional<unsigned> LinkMessageStringId(std::uint32_t code);
