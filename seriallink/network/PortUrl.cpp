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

} // namespace

std::string PortUrl::Endpoint() const {
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return Lower(shown) + ":" + std::to_string(port);
}

bool LooksLikeUrl(const std::string& name) {
    const std::size_t separator = name.find(Separator);
    return separator != std::string::npos && separator > 0 &&
           std::all_of(name.begin(), name.begin() + std::ptrdiff_t(separator),
                       [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; });
}

std::optional<PortUrl> ParsePortUrl(const std::string& name, std::string& error) {
    const std::size_t separator = name.find(Separator);
    const std::string scheme =
        separator == std::string::npos ? std::string() : Lower(name.substr(0, separator));
    PortUrl url;
    if (scheme == "rfc2217")
        url.protocol = PortUrl::Protocol::Rfc2217;
    else if (scheme == "socket")
        url.protocol = PortUrl::Protocol::RawTcp;
    else {
        error = "the address must start with rfc2217:// or socket://";
        return std::nullopt;
    }
    std::string rest = name.substr(separator + 3);
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    std::string portText;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || rest.compare(close + 1, 1, ":") != 0) {
            error = "an IPv6 address is written in brackets, followed by :PORT ([::1]:2001)";
            return std::nullopt;
        }
        url.host = rest.substr(1, close - 1);
        portText = rest.substr(close + 2);
        if (!IsIpv6Literal(url.host)) {
            error = "\"" + url.host + "\" is no IPv6 address";
            return std::nullopt;
        }
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string::npos) {
            error = "the address needs HOST:PORT after the scheme, e.g. rfc2217://cabinet-4:2001";
            return std::nullopt;
        }
        url.host = rest.substr(0, colon);
        portText = rest.substr(colon + 1);
        if (url.host.find(':') != std::string::npos) {
            error = "an IPv6 address is written in brackets, followed by :PORT ([::1]:2001)";
            return std::nullopt;
        }
        if (!IsHostName(url.host)) {
            error = url.host.empty() ? "the address names no host" : "\"" + url.host + "\" is no host name";
            return std::nullopt;
        }
    }
    const bool digits =
        !portText.empty() && portText.size() <= 5 &&
        std::all_of(portText.begin(), portText.end(), [](unsigned char c) { return std::isdigit(c); });
    const long number = digits ? std::stol(portText) : 0;
    if (number < 1 || number > 65535) {
        error = "the TCP port must be a number from 1 to 65535";
        return std::nullopt;
    }
    url.port = static_cast<std::uint16_t>(number);
    return url;
}
