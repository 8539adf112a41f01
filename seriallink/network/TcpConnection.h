#pragma once

#include "seriallink/frame/LinkCodes.h"
#include "seriallink/network/HostLookup.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// How long reaching a server may take: nothing waits without bound.
struct NetworkTimeouts {
    std::chrono::milliseconds lookup{5000};      // the host name to addresses
    std::chrono::milliseconds connect{5000};     // all of the host's addresses together
    std::chrono::milliseconds negotiation{3000}; // a device server's answers to the line settings
};

// The addresses `host` stands for, looked up as Connect looks them up and within `timeout`, each as one
// numeric text ("127.0.0.1", "::1"; an IPv4 address seen through IPv6 as IPv4), sorted, once each: 0, or
// as LookUpHost fails. Two names of one server share an address.
std::uint32_t HostAddresses(const std::string& host, std::chrono::milliseconds timeout,
                            std::vector<std::string>& addresses);

// A TCP connection to a serial device server, without delay for small writes: a request goes out at
// once. Every failure records the reason as the thread's last system error (a neterror code or the
// system's own).
class CTcpConnection {
public:
    // Looks `host` up and connects to `port` at the first of its addresses that takes the connection:
    // CannotOpen when none does.
    static LinkResult Connect(const std::string& host, std::uint16_t port, const NetworkTimeouts& timeouts,
                              std::unique_ptr<CTcpConnection>& connection);
    // Connects to the first of `addresses` to take the connection within `timeout`, as RFC 8305 does: an
    // address that has neither connected nor failed after a short delay has the next one tried beside
    // it, and the others are closed once one connects. When none does: CannotOpen with the most telling
    // failure (refused, then no answer in time, then the system's own).
    static LinkResult Connect(std::span<const NetworkAddress> addresses, std::chrono::milliseconds timeout,
                              std::unique_ptr<CTcpConnection>& connection);
    ~CTcpConnection();
    CTcpConnection(const CTcpConnection&) = delete;
    CTcpConnection& operator=(const CTcpConnection&) = delete;

    // Sends every byte within `timeoutMs`: Transmit when the connection does not take them or is gone.
    LinkResult Send(std::span<const std::uint8_t> bytes, int timeoutMs);
    // Waits up to `timeoutMs` for bytes; `count` 0 when none came. Transmit when the connection is gone.
    LinkResult Receive(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count);

    // How long the connection took to be accepted, from its own start: one round trip to the server.
    std::chrono::microseconds RoundTrip() const { return m_roundTrip; }

private:
    explicit CTcpConnection(std::intptr_t socket, std::chrono::microseconds roundTrip);

    std::intptr_t m_socket;
    std::chrono::microseconds m_roundTrip;
};
