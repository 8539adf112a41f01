#pragma once

#include "model/ByteString.h"
#include "seriallink/frame/Frame.h"

#include <array>
#include <cstdint>
#include <optional>

// What the simulated controller knows: one attribute block per network type 1 to 3.
using BlockStore = std::array<std::optional<ByteString>, 3>;

// A malformed request gets the status of the link result code that names its fault (seriallink/LinkCodes.h).
namespace ctrl {

// Payload of a status-id reply: family "TV", firmware 1.0.
inline const ByteString StatusIdPayload{0x54, 0x56, 0x01, 0x00};

} // namespace ctrl

struct ControllerAnswer {
    std::uint8_t status = frame::StatusOk;
    ByteString payload;
    bool storeChanged = false;
};

// The controller's answer to a well-formed request frame, applied to `store`.
ControllerAnswer AnswerRequest(const Frame& request, BlockStore& store);
