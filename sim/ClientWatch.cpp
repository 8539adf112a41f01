#include "sim/ClientWatch.h"

#include <unistd.h>
#include <utility>

#ifdef __linux__
#include <sys/inotify.h>
#endif

ClientWatch::ClientWatch(const std::string& devicePath) {
#ifdef __linux__
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0 && ::inotify_add_watch(m_fd, devicePath.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        ::close(m_fd);
        m_fd = -1;
    }
#else
    (void)devicePath;
#endif
}

ClientWatch::~ClientWatch() {
    if (m_fd >= 0)
        ::close(m_fd);
}

ClientWatch::ClientWatch(ClientWatch&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

ClientWatch& ClientWatch::operator=(ClientWatch&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

int ClientWatch::TakeCloses() {
    int closes = 0;
#ifdef __linux__
    // A watch on a single file delivers events without names, so each is exactly one header.
    alignas(inotify_event) char buffer[64 * sizeof(inotify_event)];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & IN_CLOSE) != 0)
                ++closes;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
#endif
    return closes;
}
