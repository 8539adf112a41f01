#include "seriallink/network/TcpConnection.h"

#include "platform/LastError.h"
#include "seriallink/channel/LinkInterruption.h"
#include "seriallink/network/NetworkErrors.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

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
int PollSockets(pollfd* fds, int timeoutMs) {
    return ::WSAPoll(fds, 1, timeoutMs);
}
void CloseSocket(Socket socket) {
    ::closesocket(socket);
}
bool MakeNonBlocking(Socket socket) {
    u_long on = 1;
    return ::ioctlsocket(socket, FIONBIO, &on) == 0;
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
int PollSockets(pollfd* fds, int timeoutMs) {
    return ::poll(fds, 1, timeoutMs);
}
void CloseSocket(Socket socket) {
    ::close(socket);
}
bool MakeNonBlocking(Socket socket) {
    const int flags = ::fcntl(socket, F_GETFL, 0);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
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

// >0 ready, 0 time is up, -1 failed, Cut when links are interrupted.
int WaitFor(Socket socket, short events, Clock::time_point deadline) {
    for (;;) {
        if (LinksInterrupted())
            return Cut;
        pollfd watched{};
        watched.fd = socket;
        watched.events = events;
        const int left = RemainingMs(deadline);
        const int ready = PollSockets(&watched, SliceMs(left));
        if ((ready == 0 && left > InterruptionSlice.count()) || (ready < 0 && WouldBlock(LastSocketError())))
            continue;
        return ready;
    }
}

// Waits for a connection in progress to be made or to fail: >0 either, 0 time is up or links are
// interrupted (the open then fails as interrupted), -1 failed.
#ifdef _WIN32
// WSAPoll before Windows 10 version 2004 never reports a connection that fails, which would wait out the
// time and be told as unanswered; select reports it.
int WaitForConnection(Socket socket, Clock::time_point deadline) {
    for (;;) {
        if (LinksInterrupted())
            return 0;
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(socket, &writable);
        fd_set failed = writable;
        const int left = RemainingMs(deadline);
        const int slice = SliceMs(left);
        timeval wait{slice / 1000, slice % 1000 * 1000};
        if (const int ready = ::select(0, nullptr, &writable, &failed, &wait);
            ready != 0 || left <= InterruptionSlice.count())
            return ready;
    }
}
#else
int WaitForConnection(Socket socket, Clock::time_point deadline) {
    const int ready = WaitFor(socket, POLLOUT, deadline);
    return ready == Cut ? 0 : ready;
}
#endif

LinkResult Fail(LinkResult code, std::uint32_t error) {
    SetLastSystemError(error);
    return code;
}

struct AddressList {
    addrinfo* first = nullptr;
    ~AddressList() {
        if (first)
            ::freeaddrinfo(first);
    }
};

// getaddrinfo has no time-out of its own: a lookup that outlives its time is left to finish on its
// own thread, which then frees what it found.
std::uint32_t LookUp(const std::string& host, std::uint16_t port, milliseconds timeout, AddressList& found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found.first) == 0)
        return 0;
    struct Lookup {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        bool abandoned = false;
        int status = 0;
        addrinfo* result = nullptr;
    };
    const auto lookup = std::make_shared<Lookup>();
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    std::thread([lookup, host, service, hints] {
        addrinfo* result = nullptr;
        const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
        const std::lock_guard hold(lookup->lock);
        if (lookup->abandoned) {
            if (status == 0)
                ::freeaddrinfo(result);
            return;
        }
        lookup->status = status;
        lookup->result = result;
        lookup->finished = true;
        lookup->done.notify_one();
    }).detach();
    std::unique_lock hold(lookup->lock);
    // In slices, so that an interruption abandons it as its time running out does.
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!lookup->finished && !LinksInterrupted() && Clock::now() < deadline)
        lookup->done.wait_for(hold, std::min<Clock::duration>(InterruptionSlice, deadline - Clock::now()));
    if (!lookup->finished) {
        lookup->abandoned = true;
        return neterror::LookupTimedOut;
    }
    if (lookup->status != 0)
        return neterror::UnknownHost;
    found.first = lookup->result;
    return 0;
}

// The address as a numeric text, an IPv4 address mapped into IPv6 (::ffff:a.b.c.d) as the IPv4 address.
std::string NumericText(const addrinfo& address) {
    sockaddr_storage shown{};
    std::memcpy(&shown, address.ai_addr, std::min(sizeof shown, std::size_t(address.ai_addrlen)));
    socklen_t length = static_cast<socklen_t>(address.ai_addrlen);
    if (address.ai_family == AF_INET6) {
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

// Connects to one address by the deadline: the socket, or NoSocket with `error` set.
Socket ConnectTo(const addrinfo& address, Clock::time_point deadline, std::uint32_t& error) {
    const Socket socket = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (socket == NoSocket || !MakeNonBlocking(socket)) {
        error = std::uint32_t(LastSocketError());
        if (socket != NoSocket)
            CloseSocket(socket);
        return NoSocket;
    }
    if (::connect(socket, address.ai_addr, static_cast<socklen_t>(address.ai_addrlen)) != 0) {
        int failure = LastSocketError();
        if (InProgress(failure)) {
            const int ready = WaitForConnection(socket, deadline);
            socklen_t length = sizeof failure;
            failure = ready > 0 && ::getsockopt(socket, SOL_SOCKET, SO_ERROR,
                                                reinterpret_cast<char*>(&failure), &length) == 0
                          ? failure
                      : ready == 0 ? -1
                                   : LastSocketError();
        }
        if (failure != 0) {
            error = failure == -1             ? neterror::ConnectTimedOut
                    : failure == RefusedError ? neterror::Refused
                                              : std::uint32_t(failure);
            CloseSocket(socket);
            return NoSocket;
        }
    }
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    AckAtOnce(socket);
    return socket;
}

} // namespace

LinkResult CTcpConnection::Connect(const std::string& host, std::uint16_t port,
                                   const NetworkTimeouts& timeouts,
                                   std::unique_ptr<CTcpConnection>& connection) {
    connection.reset();
    StartSockets();
    AddressList addresses;
    if (const std::uint32_t error = LookUp(host, port, timeouts.lookup, addresses); error != 0)
        return Fail(linkcode::CannotOpen, error);
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + timeouts.connect;
    std::uint32_t error = neterror::UnknownHost;
    for (const addrinfo* address = addresses.first; address != nullptr; address = address->ai_next) {
        const Clock::time_point tried = Clock::now();
        if (const Socket socket = ConnectTo(*address, deadline, error); socket != NoSocket) {
            const auto roundTrip =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - tried);
            connection.reset(new CTcpConnection(std::intptr_t(socket), roundTrip));
            return linkcode::Success;
        }
        if (Clock::now() >= deadline)
            break;
    }
    return Fail(linkcode::CannotOpen, error);
}

std::uint32_t HostAddresses(const std::string& host, milliseconds timeout,
                            std::vector<std::string>& addresses) {
    addresses.clear();
    StartSockets();
    AddressList found;
    // Any port: the lookup's answer does not depend on it.
    if (const std::uint32_t error = LookUp(host, 1, timeout, found); error != 0)
        return error;
    for (const addrinfo* address = found.first; address != nullptr; address = address->ai_next)
        if (std::string text = NumericText(*address); !text.empty())
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
