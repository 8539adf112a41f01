#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A port on a serial device server, named by URL: "rfc2217://HOST:PORT" (Telnet with the COM port
// control option: the link sets the remote line itself) or "socket://HOST:PORT" (raw TCP: bytes only,
// the line as the server is set up). HOST is a name, an IPv4 address or an IPv6 address in brackets,
// a link-local one with its zone ("[fe80::1%eth0]").
struct PortUrl {
    enum class Protocol { Rfc2217, RawTcp };
    Protocol protocol = Protocol::Rfc2217;
    std::string host; // without brackets, with a zone after %
    std::uint16_t port = 0;

    // "cabinet-4:2001", "[::1]:2001": the server's port, whichever protocol reaches it.
    std::string Endpoint() const;
};

// Whether `name` is meant as a URL ("scheme://...", or anything after "rfc2217:" or "socket:" in any
// case), well-formed or not: a device name never is.
bool LooksLikeUrl(const std::string& name);

// Parses a URL of one of the two forms; `error` receives why a malformed one is refused.
std::optional<PortUrl> ParsePortUrl(const std::string& name, std::string& error);
