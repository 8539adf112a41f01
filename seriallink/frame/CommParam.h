#pragma once

#include <cstdint>
#include <optional>

// m_wCommParam: the low byte selects the line rate, the high byte the character framing.
//   low byte  0x00 9600, 0x01 19200, 0x02 38400, 0x03 57600, 0x04 115200 bit/s
//   high byte 0x10 8 data bits, no parity, 1 stop bit (10 bit times per byte)
// The utility always uses 0x1001, 19200 bit/s, 8N1; so does the controller.
inline constexpr std::uint16_t COMM_PARAM_DEFAULT = 0x1001;

struct LineSettings {
    std::int32_t baudRate;
    int bitsPerByte; // on the wire, start and stop bits included
};

// The settings a value selects; none for a value outside the lists above.
std::optional<LineSettings> DecodeCommParam(std::uint16_t param);
