#pragma once

#include <cstdint>

// The controller's request codes: the utility sends them, the controller (and its simulator) answers them.
inline constexpr std::uint8_t MSGCODE_STATUS_ID = 18;
inline constexpr std::uint8_t MSGCODE_WRITE_NET_ATTR = 42;
inline constexpr std::uint8_t MSGCODE_READ_NET_ATTR = 43;

// The most reply payload the utility takes for a status id.
inline constexpr std::uint32_t StatusIdReplyCapacity = 65535;
// The most reply payload the utility takes for a read of network attributes; a reply announcing more is
// refused as too long.
inline constexpr std::uint32_t ReadNetAttrReplyCapacity = 100000;
