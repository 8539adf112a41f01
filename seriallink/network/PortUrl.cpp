#include "seriallink/network/PortUrl.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* Separator = "://";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool IsHostName(const std::string& host) {
    return !host.empty() && host.size() <= 253 && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '.' || c == '_';
    });
}

bool IsIpv6Literal(const std::string& host) {
    return !host.empty() && host.find(':') != std::string::npos &&
           std::all_of(host.begin(), host.end(),
                       [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; });
}

// A link-local address's zone, the interface it goes out of ("eth0", or its number).
bool IsZone(const std::string& zone) {
    return !zone.empty() && zone.size() <= 64 && std::all_of(zone.begin(), zone.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '.' || c == '_';
    });
}

// The schemes, with the colon: whatever starts with one is meant as a port address.
constexpr const char* Schemes[] = {"rfc2217:", "socket:"};

} // namespace

std::string PortUrl::Endpoint() const {
    // An interface's name is spelt as the system spells it.
    const std::size_t zone = host.find('%');
    const std::string address =
        Lower(host.substr(0, zone)) + (zone != std::string::npos ? host.substr(zone) : "");
    const std::string shown = host.find(':') != std::string::npos ? "[" + address + "]" : address;
    return shown + ":" + std::to_string(port);
}

bool LooksLikeUrl(const std::string& name) {
    const std::string lower = Lower(name.substr(0, 8));
    if (std::any_of(std::begin(Schemes), std::end(Schemes),
                    [&lower](const char* scheme) { return lower.starts_with(scheme); }))
        return true;
    const std::size_t separator = name.find(Separator);
    return separator != std::string::npos && separator > 0 &&
           std::all_of(name.begin(), name.begin() + std::ptrdiff_t(separator),
                       [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; });
}

std::optional<PortUrl> ParsePortUrl(const std::string& name, std::string& error) {
    const std::size_t colon = name.find(':');
    const std::string scheme = colon == std::string::npos ? std::string() : Lower(name.substr(0, colon));
    PortUrl url;
    if (scheme == "rfc2217")
        url.protocol = PortUrl::Protocol::Rfc2217;
    else if (scheme == "socket")
        url.protocol = PortUrl::Protocol::RawTcp;
    else {
        error = "the address must start with rfc2217:// or socket://";
        return std::nullopt;
    }
    if (name.compare(colon, 3, Separator) != 0) {
        error = "two slashes follow the scheme: " + scheme + "://HOST:PORT";
        return std::nullopt;
    }
    std::string rest = name.substr(colon + 3);
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (rest.find('@') != std::string::npos) {
        error = "a user name is not part of a port address: " + scheme + "://HOST:PORT";
        return std::nullopt;
    }
    std::string portText;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || rest.compare(close + 1, 1, ":") != 0) {
            error = "an IPv6 address is written in brackets, followed by :PORT ([::1]:2001)";
            return std::nullopt;
        }
        url.host = rest.substr(1, close - 1);
        portText = rest.substr(close + 2);
        const std::size_t zone = url.host.find('%');
        if (!IsIpv6Literal(url.host.substr(0, zone))) {
            error = "\"" + url.host.substr(0, zone) + "\" is no IPv6 address";
            return std::nullopt;
        }
        if (zone != std::string::npos && !IsZone(url.host.substr(zone + 1))) {
            error = "\"" + url.host.substr(zone + 1) + "\" is no interface (the zone after % names one)";
            return std::nullopt;
        }
    } else {
        const std::size_t portColon = rest.rfind(':');
        if (portColon == std::string::npos) {
            error = "the address needs HOST:PORT after the scheme, e.g. rfc2217://cabinet-4:2001";
            return std::nullopt;
        }
        url.host = rest.substr(0, portColon);
        portText = rest.substr(portColon + 1);
        if (url.host.find(':') != std::string::npos) {
            error = "an IPv6 address is written in brackets, followed by :PORT ([::1]:2001)";
            return std::nullopt;
        }
        if (!IsHostName(url.host)) {
            error = url.host.empty() ? "the address names no host" : "\"" + url.host + "\" is no host name";
            return std::nullopt;
        }
    }
    const bool digits = !portText.empty() && std::all_of(portText.begin(), portText.end(),
                                                         [](unsigned char c) { return std::isdigit(c); });
    // Some programs read a number with a leading zero as octal: which port was meant is not certain.
    if (digits && portText.size() > 1 && portText[0] == '0') {
        error = "the port number has leading zeros (" + portText + "): write it without them";
        return std::nullopt;
    }
    const long number = digits && portText.size() <= 5 ? std::stol(portText) : 0;
    if (number < 1 || number > 65535) {
        error = "the TCP port must be a number from 1 to 65535";
        return std::nullopt;
    }
    url.port = static_cast<std::uint16_t>(number);
    return url;
}
