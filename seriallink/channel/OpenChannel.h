#pragma once

#include "seriallink/channel/ByteChannel.h"
#include "seriallink/frame/LinkCodes.h"

#include <cstdint>
#include <memory>
#include <string>

// Opens the port `name` stands for at `baudRate`, 8N1: a device server's port for a URL
// ("rfc2217://", "socket://"), this machine's serial device otherwise. On failure `channel` stays empty,
// the result is CannotOpen or PortInUse and the reason the thread's last system error, or UserAbort when
// links were interrupted while it opened. `notes` hears
// what the port had to work around; it must outlive the channel.
LinkResult OpenChannel(const std::string& name, std::int32_t baudRate, std::unique_ptr<CByteChannel>& channel,
                       const PortNoteSink& notes);
