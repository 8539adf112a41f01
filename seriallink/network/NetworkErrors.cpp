#include "seriallink/network/NetworkErrors.h"

#include "platform/LastError.h"

namespace {
thread_local std::string serverRemark;
}

std::string LinkErrorText(std::uint32_t code) {
    switch (code) {
    case neterror::BadAddress:
        return "not a port address: use rfc2217://HOST:PORT or socket://HOST:PORT";
    case neterror::UnknownHost:
        return "the host name is not known (the name service has no address for it)";
    case neterror::LookupTimedOut:
        return "the host name could not be looked up in time (no answer from the name service)";
    case neterror::NameServiceFailed:
        return "the name service could not be reached (no answer, or a failure of its own): check the "
               "network settings, or use the server's IP address";
    case neterror::Refused:
        return "the server refused the connection (nothing listens on that port, or it serves another "
               "client)";
    case neterror::ConnectTimedOut:
        return "the server did not answer the connection in time";
    case neterror::NoComPortControl:
        return "the server does not offer COM port control (RFC 2217); for a port it has set up itself, use "
               "socket://";
    case neterror::NegotiationTimedOut:
        return "the server did not confirm the line settings in time (is it an RFC 2217 port?)";
    case neterror::NoBinary:
        return "the server refuses binary transfer, which the controller's data needs";
    case neterror::OtherRate:
        return "the server set its port to another rate than the controller's";
    case neterror::OtherFraming:
        return "the server set its port to other framing than 8 data bits, no parity, 1 stop bit and no "
               "flow control";
    case neterror::ConnectionClosed:
        return "the server closed the connection";
    case neterror::ClosedAtOpen:
        return "the server closed the connection before the port was set up (it may be serving another "
               "client, or its port's device may be in use)";
    case neterror::UnknownZone:
        return "the zone after % in the address names no network interface of this computer";
    case neterror::SendStalled:
        return "the server did not take the data in time";
    default:
        return SystemErrorText(code);
    }
}

const std::string& ServerRemark() {
    return serverRemark;
}

void SetServerRemark(std::string remark) {
    serverRemark = std::move(remark);
}
