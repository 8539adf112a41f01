#pragma once

#include <cstdint>

// Result of every link operation; 0 is success, anything else names the failure.
using LinkResult = std::uint32_t;

// The link result codes this library produces itself, and the controller statuses it passes through
// unchanged: a controller status may be any other value too.
namespace linkcode {

inline constexpr std::uint32_t Success = 0;
inline constexpr std::uint32_t Checksum = 1;
inline constexpr std::uint32_t TimeOut = 2;
inline constexpr std::uint32_t MessageCode = 3;
inline constexpr std::uint32_t DeviceLost = 4; // not in the error text table: the system's text is shown
inline constexpr std::uint32_t MessageNumber = 7;
inline constexpr std::uint32_t MessageLength = 8;
inline constexpr std::uint32_t WrongType = 9; // from the controller only: network or block type not its own
inline constexpr std::uint32_t NotInitialized = 30;
inline constexpr std::uint32_t InvalidArgument = 31;
inline constexpr std::uint32_t Transmit = 35;
inline constexpr std::uint32_t CannotOpen = 36;
inline constexpr std::uint32_t PortInUse = 37;

} // namespace linkcode
