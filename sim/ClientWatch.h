#pragma once

#include <string>

// Notices clients opening and closing a device node without polling it: a pty master reports a
// hang-up on every poll while no client holds the slave, so it cannot be waited on then. Uses inotify
// where the system has it; elsewhere Valid() is false and the caller falls back to polling.
class ClientWatch {
public:
    ClientWatch() = default;
    explicit ClientWatch(const std::string& devicePath);
    ~ClientWatch();
    ClientWatch(const ClientWatch&) = delete;
    ClientWatch& operator=(const ClientWatch&) = delete;
    ClientWatch(ClientWatch&& other) noexcept;
    ClientWatch& operator=(ClientWatch&& other) noexcept;

    bool Valid() const { return m_fd >= 0; }
    // Readable when an open or close is waiting to be taken with TakeCloses(); -1 without a watch,
    // which poll() skips.
    int Fd() const { return m_fd; }

    // Consumes the pending notifications; returns how many of them were closes of the device.
    int TakeCloses();

private:
    int m_fd = -1;
};
