#pragma once

#include <cstdint>
#include <string>

// Why a port on a serial device server could not be reached or kept, recorded as the thread's last
// system error like the port layer's own failures. The codes carry the bit Windows leaves to
// applications, which no errno reaches either, so they never stand for a system error.
namespace neterror {

inline constexpr std::uint32_t Base = 0x20000000;
inline constexpr std::uint32_t BadAddress = Base + 1;
inline constexpr std::uint32_t UnknownHost = Base + 2;
inline constexpr std::uint32_t LookupTimedOut = Base + 3;
inline constexpr std::uint32_t Refused = Base + 4;
inline constexpr std::uint32_t ConnectTimedOut = Base + 5;
inline constexpr std::uint32_t NoComPortControl = Base + 6;
inline constexpr std::uint32_t NegotiationTimedOut = Base + 7;
inline constexpr std::uint32_t NoBinary = Base + 8;
inline constexpr std::uint32_t OtherRate = Base + 9;
inline constexpr std::uint32_t OtherFraming = Base + 10;
inline constexpr std::uint32_t ConnectionClosed = Base + 11;
inline constexpr std::uint32_t SendStalled = Base + 12;
inline constexpr std::uint32_t ClosedAtOpen = Base + 13;
inline constexpr std::uint32_t NameServiceFailed = Base + 14;
inline constexpr std::uint32_t UnknownZone = Base + 20;

} // namespace neterror

// The text for a code above, or the system's text for any other.
std::string LinkErrorText(std::uint32_t code);

// What this thread's last port on a device server learnt of its server beyond an error code: the
// server's own words (a busy port's "Port already in use") before it closed or fell silent, or that it
// speaks Telnet where raw bytes were expected. Empty when it learnt nothing; the next open forgets it.
// Kept per thread, as the last system error is, and read right after the failure it explains.
const std::string& ServerRemark();
void SetServerRemark(std::string remark);
