#pragma once

#include "model/NetAttributes.h"

#include <optional>
#include <string>

// The address of an Ethernet record that a rule blames.
enum class EthernetAddress { Ip, Mask, Gateway };

struct AddressBreach {
    EthernetAddress blamed;
    std::string text; // "Gateway 10.0.0.1 is outside the subnet 192.168.1.0/24"
};

// Why the addresses of an Ethernet record would cut the controller off its network, or nothing: a mask
// that is not contiguous, that has no network part (0.0.0.0) or leaves no host address (/31, /32); an IP
// address that is no unicast host address (0.0.0.0/8, loopback, multicast, reserved, the broadcast
// address) or is its subnet's network or broadcast address; a gateway outside the subnet or equal to the
// IP address. A gateway of 0.0.0.0 means none and is fine.
std::optional<AddressBreach> UnreachableAddress(const CNetAttributes& record);
