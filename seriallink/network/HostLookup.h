#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One address of a host as the system's socket calls take it (a sockaddr_in or sockaddr_in6, port
// included), kept as bytes so that this header needs no system header.
struct NetworkAddress {
    int family = 0;
    std::uint32_t length = 0;
    std::array<unsigned char, 128> bytes{}; // a sockaddr_storage
};

// Looks `host` up in the name service: getaddrinfo's status (0 or an EAI_ code) and, on 0, the host's
// stream addresses in the service's order, with port 0.
using HostResolver = std::function<int(const std::string& host, std::vector<NetworkAddress>& found)>;
int ResolveWithSystem(const std::string& host, std::vector<NetworkAddress>& found);

// The neterror code for getaddrinfo's status: 0 for 0.
std::uint32_t LookupError(int status);

// The addresses `host` stands for within `timeout` (a numeric address at once, without the name
// service): 0, or UnknownHost, NameServiceFailed or LookupTimedOut. getaddrinfo has no time-out of its
// own, so a name goes to `resolve` on a thread of its own, which a lookup that runs out of time leaves
// to finish; while it runs, every other lookup of the same host in the process waits for that one
// instead of starting another, so a hung name service holds one thread per name however often it is
// asked. A finished lookup is not kept: the next one asks again.
std::uint32_t LookUpHost(const std::string& host, std::chrono::milliseconds timeout,
                         std::vector<NetworkAddress>& found, const HostResolver& resolve = ResolveWithSystem);
