#pragma once

#include "seriallink/frame/LinkCodes.h"

#include <cstdint>
#include <span>
#include <string>

// Watches a link object's line: each open, every whole frame sent and received, each frame passed over,
// each exchange that failed and what the port noted. A received frame is the reply the link accepted, byte
// for byte as it came; a rejected one is a damaged frame (its first bytes) or a reply to another request,
// with the code that names why.
class CLinkTrace {
public:
    virtual ~CLinkTrace() = default;

    virtual void PortOpened(const std::string& device, LinkResult result) = 0;
    virtual void FrameSent(std::span<const std::uint8_t> frame) = 0;
    virtual void FrameReceived(std::span<const std::uint8_t> frame) = 0;
    virtual void FrameRejected(std::span<const std::uint8_t> frame, LinkResult reason) = 0;
    virtual void ExchangeFailed(LinkResult result) = 0;
    // What the port had to work around: an open tried again, line errors, settings not put back.
    virtual void PortNote(const std::string& note) = 0;
};
