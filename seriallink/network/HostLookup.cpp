#include "seriallink/network/HostLookup.h"

#include "seriallink/channel/LinkInterruption.h"
#include "seriallink/network/NetworkErrors.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace {

int Resolve(const std::string& host, int flags, std::vector<NetworkAddress>& found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* first = nullptr;
    if (const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &first); status != 0)
        return status;
    found.clear();
    for (const addrinfo* entry = first; entry != nullptr; entry = entry->ai_next) {
        NetworkAddress address;
        if ((entry->ai_family != AF_INET && entry->ai_family != AF_INET6) ||
            std::size_t(entry->ai_addrlen) > address.bytes.size())
            continue;
        address.family = entry->ai_family;
        address.length = std::uint32_t(entry->ai_addrlen);
        std::memcpy(address.bytes.data(), entry->ai_addr, entry->ai_addrlen);
        found.push_back(address);
    }
    ::freeaddrinfo(first);
    return found.empty() ? EAI_NONAME : 0;
}

// One lookup on its way; its result is guarded by the registry's lock.
struct Lookup {
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    std::vector<NetworkAddress> addresses;
};

// The lookups still running, by host. Never destroyed: a lookup's thread may outlive main.
struct Registry {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<Lookup>> running;
};

Registry& Lookups() {
    static Registry* const registry = new Registry;
    return *registry;
}

} // namespace

int ResolveWithSystem(const std::string& host, std::vector<NetworkAddress>& found) {
    return Resolve(host, AI_ADDRCONFIG, found);
}

std::uint32_t LookupError(int status) {
    switch (status) {
    case 0:
        return 0;
    // No answer from the name server, or a failure of its own: says nothing about the name itself.
    // (Windows' WSATRY_AGAIN and WSANO_RECOVERY.)
    case EAI_AGAIN:
    case EAI_FAIL:
        return neterror::NameServiceFailed;
    default:
        return neterror::UnknownHost;
    }
}

std::uint32_t LookUpHost(const std::string& host, std::chrono::milliseconds timeout,
                         std::vector<NetworkAddress>& found, const HostResolver& resolve) {
    found.clear();
    if (Resolve(host, AI_NUMERICHOST, found) == 0)
        return 0;
    Registry& registry = Lookups();
    std::unique_lock hold(registry.lock);
    std::shared_ptr<Lookup>& running = registry.running[host];
    if (!running) {
        running = std::make_shared<Lookup>();
        try {
            std::thread([&registry, lookup = running, host, resolve] {
                std::vector<NetworkAddress> addresses;
                const int status = resolve(host, addresses);
                const std::lock_guard done(registry.lock);
                lookup->status = status;
                lookup->addresses = std::move(addresses);
                lookup->finished = true;
                registry.running.erase(host);
                lookup->done.notify_all();
            }).detach();
        } catch (const std::system_error& error) {
            registry.running.erase(host);
            return std::uint32_t(error.code().value());
        }
    }
    const std::shared_ptr<Lookup> lookup = running;
    // In slices, so that an interruption gives it up as its time running out does.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!lookup->finished && !LinksInterrupted() && std::chrono::steady_clock::now() < deadline)
        lookup->done.wait_for(hold, std::min<std::chrono::steady_clock::duration>(
                                        InterruptionSlice, deadline - std::chrono::steady_clock::now()));
    if (!lookup->finished)
        return neterror::LookupTimedOut;
    if (lookup->status != 0)
        return LookupError(lookup->status);
    found = lookup->addresses;
    return 0;
}
