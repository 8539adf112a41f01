#include "platform/LastError.h"
#include "seriallink/network/HostLookup.h"
#include "seriallink/network/NetworkErrors.h"
#include "seriallink/network/TcpConnection.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// An address on 127.0.0.1 that refuses connections (bound, not listening), takes them (the system
// completes them into a queue no one accepts from) or never answers them: with a backlog of 0 and one
// client already queued, the system drops every further connection's SYN.
struct Port {
    enum Kind { Refuses, Takes, Silent };
    explicit Port(Kind kind) {
        auto* address = reinterpret_cast<sockaddr_in*>(this->address.bytes.data());
        address->sin_family = this->address.family = AF_INET;
        address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = this->address.length = sizeof *address;
        ::bind(fds[0], reinterpret_cast<sockaddr*>(address), length);
        ::getsockname(fds[0], reinterpret_cast<sockaddr*>(address), &length);
        if (kind != Refuses)
            ::listen(fds[0], kind == Silent ? 0 : 4);
        if (kind == Silent)
            ::connect(fds[1], reinterpret_cast<sockaddr*>(address), length);
    }
    ~Port() { ::close(fds[0]), ::close(fds[1]); }
    int fds[2]{::socket(AF_INET, SOCK_STREAM, 0), ::socket(AF_INET, SOCK_STREAM, 0)};
    NetworkAddress address;
};

// The process's socket descriptors, each with whether it is closed on exec.
std::map<int, bool> Sockets() {
    std::map<int, bool> sockets;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const int fd = std::stoi(entry.path().filename().string());
        if (std::filesystem::read_symlink(entry.path(), error).string().starts_with("socket:"))
            sockets[fd] = (::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
    }
    return sockets;
}

TEST(Connect, EveryAddressGetsItsTurn) {
    const Port refuses(Port::Refuses), takes(Port::Takes), silent(Port::Silent);
    std::unique_ptr<CTcpConnection> connection;
    // A refusal says more than the silence of another address.
    EXPECT_EQ(CTcpConnection::Connect(std::vector{refuses.address, silent.address}, 50ms, connection),
              linkcode::CannotOpen);
    EXPECT_EQ(LastSystemError(), neterror::Refused) << LinkErrorText(LastSystemError());

    // A first address that never answers has the next one tried beside it well within the time.
    const std::map<int, bool> before = Sockets();
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(CTcpConnection::Connect(std::vector{silent.address, takes.address}, 2s, connection),
              linkcode::Success)
        << LinkErrorText(LastSystemError());
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_LT(connection->RoundTrip(), 200ms); // the winner's own, not the wait for the first
    // The winner is the one socket left, and it is closed on exec; the other attempt is closed.
    std::map<int, bool> made = Sockets();
    std::erase_if(made, [&](const auto& socket) { return before.contains(socket.first); });
    EXPECT_EQ(made.size(), 1u);
    EXPECT_TRUE(made.empty() || made.begin()->second);
    connection.reset();
    EXPECT_EQ(Sockets(), before);
}

// The name service's answer, or its failure, as each lookup tells it.
TEST(HostLookup, TellsAFailedNameServiceFromAnUnknownName) {
    for (const auto& [status, told] : {std::pair{EAI_AGAIN, neterror::NameServiceFailed},
                                       {EAI_FAIL, neterror::NameServiceFailed},
                                       {EAI_NONAME, neterror::UnknownHost}}) {
        std::vector<NetworkAddress> found;
        EXPECT_EQ(LookUpHost("failing.test", 5s, found,
                             [status](const std::string&, std::vector<NetworkAddress>&) { return status; }),
                  told)
            << status;
    }
}

TEST(HostLookup, OneLookupOfANameRunsAtATime) {
    std::mutex lock;
    std::condition_variable released;
    bool answer = false;
    int calls = 0;
    const HostResolver hung = [&](const std::string&, std::vector<NetworkAddress>& found) {
        std::unique_lock hold(lock);
        ++calls;
        released.wait(hold, [&] { return answer; });
        found = {NetworkAddress{AF_INET, std::uint32_t(calls)}}; // which call answered
        return 0;
    };
    std::vector<NetworkAddress> first;
    std::vector<NetworkAddress> second;
    EXPECT_EQ(LookUpHost("hung.test", 10ms, first, hung), neterror::LookupTimedOut);
    // Asked again while the first still hangs, as the dialog asks, twice at once: the same lookup.
    std::uint32_t firstTold = 1;
    std::thread waiting([&] { firstTold = LookUpHost("hung.test", 5s, first, hung); });
    std::thread answering([&] {
        std::this_thread::sleep_for(100ms);
        const std::lock_guard hold(lock);
        answer = true;
        released.notify_all();
    });
    EXPECT_EQ(LookUpHost("hung.test", 5s, second, hung), 0u);
    waiting.join();
    answering.join();
    EXPECT_EQ(firstTold, 0u);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first.front().length + second.front().length, 2u);
    // A finished lookup is not kept: names change.
    EXPECT_EQ(LookUpHost("hung.test", 5s, second, hung), 0u);
    const std::lock_guard hold(lock);
    EXPECT_EQ(calls, 2);
}

} // namespace
