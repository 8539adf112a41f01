#pragma once

#include "seriallink/channel/ByteChannel.h"
#include "seriallink/frame/LinkCodes.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

// Where a link's exchanges run and the time their waits are measured by: the serial port and the steady
// clock, unless a test or a fuzzer puts a line and a clock of its own in their place.
class CLineSource {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    CLineSource() = default;
    virtual ~CLineSource() = default;
    CLineSource(const CLineSource&) = delete;
    CLineSource& operator=(const CLineSource&) = delete;

    // Opens `device` at `baudRate`; on failure `channel` stays empty. `notes` hears what the port had to
    // work around; it must outlive the channel.
    virtual LinkResult Open(const std::string& device, std::int32_t baudRate,
                            std::unique_ptr<CByteChannel>& channel, const PortNoteSink& notes) = 0;
    virtual TimePoint Now() const = 0;

    // The serial ports of this machine on the steady clock.
    static CLineSource& SerialPorts();
};
