#pragma once

#include "seriallink/channel/ByteChannel.h"
#include "seriallink/serial/ModemLines.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

// An open serial device, raw 8N1, blocking the calling thread for at most the time each call is given.
// One implementation per operating system: POSIX termios with poll(), Win32 synchronous I/O. Every
// failure records the operating system's error of the failing call as the thread's last error.
class CSerialPort : public CByteChannel {
public:
    // Opens `device` exclusively at `baudRate` and discards input queued before the open. On failure
    // `port` stays empty and the result is CannotOpen, or PortInUse when another opener holds it.
    // `notes` hears what the port had to work around (an open retried, line errors, settings it could
    // not put back); it must outlive the port.
    static LinkResult Open(const std::string& device, std::int32_t baudRate,
                           std::unique_ptr<CSerialPort>& port, const PortNoteSink& notes = {});

    // Puts back the line settings the device had before the open, then closes it.
    ~CSerialPort() override;

    void DiscardInput() override;
    LinkResult Write(std::span<const std::uint8_t> bytes, int timeoutMs) override;
    LinkResult Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) override;
    LinkResult CheckDevice() override;
    void AwaitBytes(std::chrono::microseconds wire) override;

private:
    struct Handle;
    explicit CSerialPort(std::unique_ptr<Handle> handle);

    std::unique_ptr<Handle> m_pHandle;
};

// The operating system's error for a port number outside the ones the link knows.
std::uint32_t NoSuchPortError();
