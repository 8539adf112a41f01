#include "seriallink/network/TcpConnection.h"

#include "platform/LastError.h"
#include "seriallink/channel/LinkInterruption.h"
#include "seriallink/network/NetworkErrors.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, whose types it uses.
#include <mstcpip.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// The few places where Winsock and BSD sockets differ.
#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket NoSocket = INVALID_SOCKET;
constexpr int SendFlags = 0;
int LastSocketError() {
    return ::WSAGetLastError();
}
bool InProgress(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}
bool WouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}
constexpr int RefusedError = WSAECONNREFUSED;
int PollSockets(pollfd* fds, std::size_t count, int timeoutMs) {
    return ::WSAPoll(fds, ULONG(count), timeoutMs);
}
void CloseSocket(Socket socket) {
    ::closesocket(socket);
}
// Non-blocking, and not inherited by a program the utility starts. Windows 7 without its update for
// the flag refuses it: the handle is then made private afterwards.
Socket OpenSocket(int family) {
    constexpr DWORD flags = WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT;
    Socket socket = ::WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, flags);
    if (socket == NoSocket && ::WSAGetLastError() == WSAEINVAL) {
        socket = ::WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
        if (socket != NoSocket)
            ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    }
    u_long on = 1;
    if (socket != NoSocket && ::ioctlsocket(socket, FIONBIO, &on) != 0) {
        const int error = ::WSAGetLastError();
        ::closesocket(socket);
        ::WSASetLastError(error);
        return NoSocket;
    }
    return socket;
}
// Windows 8 and later: acknowledge every segment (ignored where unsupported).
void AckAtOnce(Socket socket) {
    DWORD frequency = 1;
    DWORD returned = 0;
    ::WSAIoctl(socket, SIO_TCP_SET_ACK_FREQUENCY, &frequency, sizeof frequency, nullptr, 0, &returned,
               nullptr, nullptr);
}
void StartSockets() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    static_cast<void>(started);
}
#else
using Socket = int;
constexpr Socket NoSocket = -1;
// A server that has gone must not end the process with SIGPIPE.
constexpr int SendFlags = MSG_NOSIGNAL;
int LastSocketError() {
    return errno;
}
bool InProgress(int error) {
    return error == EINPROGRESS;
}
bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}
constexpr int RefusedError = ECONNREFUSED;
int PollSockets(pollfd* fds, std::size_t count, int timeoutMs) {
    return ::poll(fds, nfds_t(count), timeoutMs);
}
void CloseSocket(Socket socket) {
    ::close(socket);
}
// Non-blocking, and closed in a program the utility starts, as its serial ports are.
Socket OpenSocket(int family) {
    return ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}
// Linux drops quick acknowledgement again after a while: it is asked for anew before every wait.
void AckAtOnce(Socket socket) {
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}
void StartSockets() {}
#endif

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

constexpr int Cut = -2;

// >0 ready (see each one's revents), 0 time is up, -1 failed, Cut when links are interrupted.
int WaitFor(std::span<pollfd> watched, Clock::time_point deadline) {
    for (;;) {
        if (LinksInterrupted())
            return Cut;
        const int left = RemainingMs(deadline);
        const int ready = PollSockets(watched.data(), watched.size(), SliceMs(left));
        if ((ready == 0 && left > InterruptionSlice.count()) || (ready < 0 && WouldBlock(LastSocketError())))
            continue;
        return ready;
    }
}

int WaitFor(Socket socket, short events, Clock::time_point deadline) {
    pollfd watched{};
    watched.fd = socket;
    watched.events = events;
    return WaitFor(std::span(&watched, 1), deadline);
}

// A connection being made to one address.
struct Attempt {
    Socket socket = NoSocket;
    Clock::time_point started;
    bool settled = false; // made or failed, as the last wait found
};

// Waits for one of the connections in progress to be made or to fail, and marks each that was: >0
// any, 0 time is up, -1 failed, Cut when links are interrupted (the open then fails as interrupted).
#ifdef _WIN32
// WSAPoll before Windows 10 version 2004 never reports a connection that fails, which would wait out the
// time and be told as unanswered; select reports it. (An fd_set holds 64 sockets: far more than one
// name's attempts in a connect's time.)
int WaitForConnection(std::span<Attempt> attempts, Clock::time_point deadline) {
    fd_set writable;
    fd_set failed;
    int ready = 0;
    for (int left = RemainingMs(deadline);; left = RemainingMs(deadline)) {
        if (LinksInterrupted())
            return Cut;
        FD_ZERO(&writable);
        for (const Attempt& attempt : attempts)
            FD_SET(attempt.socket, &writable);
        failed = writable;
        const int slice = SliceMs(left);
        timeval wait{slice / 1000, slice % 1000 * 1000};
        ready = ::select(0, nullptr, &writable, &failed, &wait);
        if (ready != 0 || left <= InterruptionSlice.count())
            break;
    }
    for (Attempt& attempt : attempts)
        attempt.settled =
            ready > 0 && (FD_ISSET(attempt.socket, &writable) || FD_ISSET(attempt.socket, &failed));
    return ready;
}
#else
int WaitForConnection(std::span<Attempt> attempts, Clock::time_point deadline) {
    std::vector<pollfd> watched(attempts.size());
    for (std::size_t i = 0; i < attempts.size(); ++i) {
        watched[i].fd = attempts[i].socket;
        watched[i].events = POLLOUT;
    }
    const int ready = WaitFor(watched, deadline);
    for (std::size_t i = 0; i < attempts.size(); ++i)
        attempts[i].settled = ready > 0 && watched[i].revents != 0;
    return ready;
}
#endif

LinkResult Fail(LinkResult code, std::uint32_t error) {
    SetLastSystemError(error);
    return code;
}

static_assert(sizeof(sockaddr_storage) == sizeof NetworkAddress::bytes);

// The address as a numeric text, an IPv4 address mapped into IPv6 (::ffff:a.b.c.d) as the IPv4 address.
std::string NumericText(const NetworkAddress& address) {
    sockaddr_storage shown{};
    std::memcpy(&shown, address.bytes.data(), std::min(sizeof shown, std::size_t(address.length)));
    socklen_t length = static_cast<socklen_t>(address.length);
    if (address.family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(shown);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&v6.sin6_addr);
        constexpr std::uint8_t mapped[12]{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
        if (std::memcmp(bytes, mapped, sizeof mapped) == 0) {
            sockaddr_in v4{};
            v4.sin_family = AF_INET;
            std::memcpy(&v4.sin_addr, bytes + 12, 4);
            std::memcpy(&shown, &v4, sizeof v4);
            length = sizeof v4;
        }
    }
    char text[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&shown), length, text, sizeof text, nullptr, 0,
                      NI_NUMERICHOST) != 0)
        return {};
    return text;
}

// The host's addresses with `port`, in the order of RFC 8305: the families take turns, starting with
// the name service's first, so a family that does not work costs one attempt's delay, not all of them.
std::vector<NetworkAddress> ToConnect(const std::vector<NetworkAddress>& found, std::uint16_t port) {
    std::vector<NetworkAddress> first;
    std::vector<NetworkAddress> other;
    for (NetworkAddress address : found) {
        sockaddr_storage socketAddress{};
        std::memcpy(&socketAddress, address.bytes.data(), sizeof socketAddress);
        if (address.family == AF_INET6)
            reinterpret_cast<sockaddr_in6&>(socketAddress).sin6_port = htons(port);
        else
            reinterpret_cast<sockaddr_in&>(socketAddress).sin_port = htons(port);
        std::memcpy(address.bytes.data(), &socketAddress, sizeof socketAddress);
        (address.family == found.front().family ? first : other).push_back(address);
    }
    std::vector<NetworkAddress> ordered;
    for (std::size_t i = 0; i < std::max(first.size(), other.size()); ++i) {
        if (i < first.size())
            ordered.push_back(first[i]);
        if (i < other.size())
            ordered.push_back(other[i]);
    }
    return ordered;
}

std::uint32_t ConnectError(int failure) {
    return failure == RefusedError ? neterror::Refused : std::uint32_t(failure);
}

// Starts connecting to `address`: the attempt, made or in progress, or NoSocket with `error` set when it
// failed at once.
Attempt StartConnecting(const NetworkAddress& address, std::uint32_t& error) {
    Attempt attempt{OpenSocket(address.family), Clock::now()};
    if (attempt.socket == NoSocket) {
        error = std::uint32_t(LastSocketError());
        return attempt;
    }
    sockaddr_storage socketAddress{};
    std::memcpy(&socketAddress, address.bytes.data(), sizeof socketAddress);
    if (::connect(attempt.socket, reinterpret_cast<const sockaddr*>(&socketAddress),
                  static_cast<socklen_t>(address.length)) != 0) {
        if (const int failure = LastSocketError(); !InProgress(failure)) {
            error = ConnectError(failure);
            CloseSocket(attempt.socket);
            attempt.socket = NoSocket;
        }
    }
    return attempt;
}

// How long an address has to connect before the next one is tried beside it (RFC 8305's connection
// attempt delay): a dead address first in the list costs this, not the whole time.
constexpr milliseconds NextAddressDelay{250};

// Which failure to tell when no address takes the connection: a refusal shows the server is there (a
// wrong port, or one that serves another client); no answer in time concerns an address tried for long,
// more telling than a failure at once such as an unreachable network of the other family.
int Weight(std::uint32_t error) {
    return error == neterror::Refused ? 3 : error == neterror::ConnectTimedOut ? 2 : error != 0 ? 1 : 0;
}

void Keep(std::uint32_t& told, std::uint32_t error) {
    if (Weight(error) > Weight(told))
        told = error;
}

} // namespace

LinkResult CTcpConnection::Connect(const std::string& host, std::uint16_t port,
                                   const NetworkTimeouts& timeouts,
                                   std::unique_ptr<CTcpConnection>& connection) {
    connection.reset();
    StartSockets();
    std::vector<NetworkAddress> found;
    if (const std::uint32_t error = LookUpHost(host, timeouts.lookup, found); error != 0)
        return Fail(linkcode::CannotOpen, error);
    return Connect(ToConnect(found, port), timeouts.connect, connection);
}

LinkResult CTcpConnection::Connect(std::span<const NetworkAddress> addresses, milliseconds timeout,
                                   std::unique_ptr<CTcpConnection>& connection) {
    connection.reset();
    StartSockets();
    const Clock::time_point deadline = Clock::now() + timeout;
    std::uint32_t error = addresses.empty() ? neterror::UnknownHost : 0;
    std::vector<Attempt> pending;
    std::size_t next = 0;
    Clock::time_point nextStart = Clock::now();
    for (;;) {
        // The next address's turn comes when the last one started has had its delay, or at once when
        // none is left pending.
        while (next < addresses.size() && (pending.empty() || Clock::now() >= nextStart)) {
            std::uint32_t failure = 0;
            if (const Attempt attempt = StartConnecting(addresses[next++], failure);
                attempt.socket != NoSocket) {
                pending.push_back(attempt);
                nextStart = attempt.started + NextAddressDelay;
            } else {
                Keep(error, failure);
            }
        }
        if (pending.empty())
            break;
        const Clock::time_point until = next < addresses.size() ? std::min(nextStart, deadline) : deadline;
        if (WaitForConnection(pending, until) < 0) {
            error = std::uint32_t(LastSocketError());
            break;
        }
        for (auto attempt = pending.begin(); attempt != pending.end();) {
            if (!attempt->settled) {
                ++attempt;
                continue;
            }
            int failure = 0;
            socklen_t length = sizeof failure;
            if (::getsockopt(attempt->socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure),
                             &length) != 0)
                failure = LastSocketError();
            if (failure == 0) {
                const auto roundTrip =
                    std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - attempt->started);
                const Socket socket = attempt->socket;
                pending.erase(attempt);
                for (const Attempt& other : pending)
                    CloseSocket(other.socket);
                const int on = 1;
                ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
                AckAtOnce(socket);
                connection.reset(new CTcpConnection(std::intptr_t(socket), roundTrip));
                return linkcode::Success;
            }
            Keep(error, ConnectError(failure));
            CloseSocket(attempt->socket);
            attempt = pending.erase(attempt);
            // A failure lets the next address start at once.
            nextStart = Clock::now();
        }
        if (Clock::now() >= deadline) {
            Keep(error, neterror::ConnectTimedOut);
            break;
        }
    }
    for (const Attempt& attempt : pending)
        CloseSocket(attempt.socket);
    return Fail(linkcode::CannotOpen, error);
}

std::uint32_t HostAddresses(const std::string& host, milliseconds timeout,
                            std::vector<std::string>& addresses) {
    addresses.clear();
    StartSockets();
    std::vector<NetworkAddress> found;
    if (const std::uint32_t error = LookUpHost(host, timeout, found); error != 0)
        return error;
    for (const NetworkAddress& address : found)
        if (std::string text = NumericText(address); !text.empty())
            addresses.push_back(std::move(text));
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    return addresses.empty() ? neterror::UnknownHost : 0;
}

CTcpConnection::CTcpConnection(std::intptr_t socket, std::chrono::microseconds roundTrip)
    : m_socket(socket), m_roundTrip(roundTrip) {}

CTcpConnection::~CTcpConnection() {
    CloseSocket(Socket(m_socket));
}

LinkResult CTcpConnection::Send(std::span<const std::uint8_t> bytes, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + milliseconds(timeoutMs);
    while (!bytes.empty()) {
        const auto sent = ::send(Socket(m_socket), reinterpret_cast<const char*>(bytes.data()),
                                 static_cast<int>(bytes.size()), SendFlags);
        if (sent > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(sent));
            continue;
        }
        if (const int error = LastSocketError(); !WouldBlock(error))
            return Fail(linkcode::Transmit, std::uint32_t(error));
        const int ready = WaitFor(Socket(m_socket), POLLOUT, deadline);
        if (ready == Cut)
            return linkcode::UserAbort;
        if (ready <= 0)
            return Fail(linkcode::Transmit,
                        ready == 0 ? neterror::SendStalled : std::uint32_t(LastSocketError()));
    }
    return linkcode::Success;
}

LinkResult CTcpConnection::Receive(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) {
    count = 0;
    const Clock::time_point deadline = Clock::now() + milliseconds(timeoutMs);
    for (;;) {
        // A server that holds back its next segment until the last is acknowledged (Nagle's algorithm)
        // would otherwise wait out the delayed acknowledgement (40 ms here, 200 ms on Windows) inside a
        // reply.
        AckAtOnce(Socket(m_socket));
        const int ready = WaitFor(Socket(m_socket), POLLIN, deadline);
        if (ready == Cut)
            return linkcode::UserAbort;
        if (ready < 0)
            return Fail(linkcode::Transmit, std::uint32_t(LastSocketError()));
        if (ready == 0)
            return linkcode::Success;
        const auto got = ::recv(Socket(m_socket), reinterpret_cast<char*>(buffer.data()),
                                static_cast<int>(buffer.size()), 0);
        if (got > 0) {
            count = static_cast<std::size_t>(got);
            return linkcode::Success;
        }
        if (got == 0)
            return Fail(linkcode::Transmit, neterror::ConnectionClosed);
        if (const int error = LastSocketError(); !WouldBlock(error))
            return Fail(linkcode::Transmit, std::uint32_t(error));
    }
}
