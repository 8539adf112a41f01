#pragma once

#include "model/NetAttributes.h"

#include <QString>

#include <optional>

// Why the addresses of an Ethernet record would cut the controller off its network, or nothing: a mask
// that is not contiguous; an IP address that is no unicast host address (0.0.0.0/8, loopback, multicast,
// reserved, the broadcast address) or is its subnet's network or broadcast address; a gateway outside
// the subnet or equal to the IP address. A gateway of 0.0.0.0 means none and is fine.
std::optional<QString> UnreachableAddress(const CNetAttributes& record);
