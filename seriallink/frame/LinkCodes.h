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
inline constexpr std::uint32_t OutOfMemory = 6;
inline constexpr std::uint32_t MessageNumber = 7;
inline constexpr std::uint32_t MessageLength = 8;
inline constexpr std::uint32_t WrongType = 9; // from the controller only: network or block type not its own
inline constexpr std::uint32_t EepromProgram = 10;
inline constexpr std::uint32_t MessageLoad = 11;
inline constexpr std::uint32_t ReadOnly = 14;
inline constexpr std::uint32_t Format = 15;
inline constexpr std::uint32_t ImageNotFound = 16;
inline constexpr std::uint32_t PortConflict = 17;
// A failure the user is not told about; the request that received it has still failed.
inline constexpr std::uint32_t SilentFailure = 18;
inline constexpr std::uint32_t Protection = 19;
inline constexpr std::uint32_t InMotion = 20;
inline constexpr std::uint32_t NotProgramMode = 21;
inline constexpr std::uint32_t Password = 22;
inline constexpr std::uint32_t ForceType = 23;
inline constexpr std::uint32_t StartAddress = 25;
inline constexpr std::uint32_t StartReboot = 26;
inline constexpr std::uint32_t NotInitialized = 30;
inline constexpr std::uint32_t InvalidArgument = 31;
inline constexpr std::uint32_t CreateThread = 32;
inline constexpr std::uint32_t ClosePort = 33;
inline constexpr std::uint32_t NotLoaded = 34;
// Data could not be carried: a write refused or stalled, or the device gone in the middle of an exchange
// (an adapter pulled out), which the system would describe only as access denied or an I/O error.
inline constexpr std::uint32_t Transmit = 35;
inline constexpr std::uint32_t CannotOpen = 36;
inline constexpr std::uint32_t PortInUse = 37;
inline constexpr std::uint32_t UserAbort = 212;
inline constexpr std::uint32_t ModemAbort = 213;

} // namespace linkcode
