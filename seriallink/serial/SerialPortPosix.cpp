#include "platform/LastError.h"
#include "seriallink/channel/LinkInterruption.h"
#include "seriallink/serial/SerialPort.h"
#include "seriallink/serial/TermiosSpeed.h"

#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

struct CSerialPort::Handle {
    int fd = -1;
    bool exclusive = false;
    // The line settings found at open, put back on close: the next program to open the device expects
    // them, not raw mode with reads that return at once.
    std::optional<termios> original;

    ~Handle() {
        if (fd < 0)
            return;
        // Output still queued here is a request whose exchange failed (a reply means it has left): on a
        // stuck adapter the close would wait the tty's closing time (up to 30 s) for it to drain. Setting
        // the line back (TCSANOW) does not wait for it either.
        ::tcflush(fd, TCOFLUSH);
        if (original)
            ::tcsetattr(fd, TCSANOW, &*original);
        // The exclusive flag outlives this descriptor while the far end keeps the device open (a
        // pseudo-terminal's controller does): clear it, or every later opener without privileges is
        // turned away.
        if (exclusive)
            ::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }
};

namespace {

LinkResult Fail(LinkResult code, int error) {
    SetLastSystemError(static_cast<std::uint32_t>(error));
    return code;
}

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

constexpr int Cut = -2;

// Waits for `events` until the deadline: >0 ready, 0 time is up, -1 failed (errno set), Cut when links
// are interrupted.
int WaitUntil(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        if (LinksInterrupted())
            return Cut;
        pollfd watched{fd, events, 0};
        const int left = RemainingMs(deadline);
        const int ready = ::poll(&watched, 1, SliceMs(left));
        if ((ready == 0 && left > InterruptionSlice.count()) || (ready < 0 && errno == EINTR))
            continue;
        return ready;
    }
}

// Raw 8N1 at `speed`; `original` receives the settings found.
LinkResult Configure(int fd, speed_t speed, std::optional<termios>& original) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return Fail(linkcode::CannotOpen, errno);
    original = settings;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
        ::tcsetattr(fd, TCSANOW, &settings) != 0)
        return Fail(linkcode::CannotOpen, errno);
    // Bytes that arrived before this open belong to nobody's exchange.
    ::tcflush(fd, TCIFLUSH);
    return linkcode::Success;
}

} // namespace

LinkResult CSerialPort::Open(const std::string& device, std::int32_t baudRate,
                             std::unique_ptr<CSerialPort>& port, const PortNoteSink&) {
    port.reset();
    const std::optional<speed_t> speed = TermiosSpeed(baudRate);
    if (!speed)
        return Fail(linkcode::CannotOpen, EINVAL);

    auto handle = std::make_unique<Handle>();
    handle->fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle->fd < 0)
        return Fail(errno == EBUSY ? linkcode::PortInUse : linkcode::CannotOpen, errno);
    // TIOCEXCL turns away later openers without privileges; the lock turns away every opener that
    // asks for it, privileged or not. Both come before the line is set up, so that no other opener
    // can come in between and change the settings.
    if (::flock(handle->fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? Fail(linkcode::PortInUse, EBUSY) : Fail(linkcode::CannotOpen, errno);
    handle->exclusive = ::ioctl(handle->fd, TIOCEXCL) == 0;
    if (const LinkResult configured = Configure(handle->fd, *speed, handle->original);
        configured != linkcode::Success)
        return configured;
    // The open has raised DTR and RTS. A pseudo-terminal has no modem lines and needs no wait.
    if (int lines = 0; ::ioctl(handle->fd, TIOCMGET, &lines) == 0) {
        if (!SleepUnlessInterrupted(ModemLineSettle()))
            return Fail(linkcode::UserAbort, EINTR);
        ::tcflush(handle->fd, TCIFLUSH);
    }

    port.reset(new CSerialPort(std::move(handle)));
    return linkcode::Success;
}

LinkResult CSerialPort::Write(std::span<const std::uint8_t> bytes, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_pHandle->fd, bytes.data(), bytes.size());
        if (written > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return Fail(linkcode::Transmit, errno);
        // The output queue is full: wait until the line takes more.
        const int ready = WaitUntil(m_pHandle->fd, POLLOUT, deadline);
        if (ready == Cut)
            return Fail(linkcode::UserAbort, EINTR);
        if (ready < 0)
            return Fail(linkcode::Transmit, errno);
        if (ready == 0)
            return Fail(linkcode::Transmit, ETIMEDOUT);
    }
    return linkcode::Success;
}

LinkResult CSerialPort::Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) {
    count = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int ready = WaitUntil(m_pHandle->fd, POLLIN, deadline);
        if (ready == Cut)
            return Fail(linkcode::UserAbort, EINTR);
        if (ready < 0)
            return Fail(linkcode::Transmit, errno);
        if (ready == 0)
            return linkcode::Success;
        const ssize_t got = ::read(m_pHandle->fd, buffer.data(), buffer.size());
        if (got > 0) {
            count = static_cast<std::size_t>(got);
            return linkcode::Success;
        }
        // End of file on a terminal: the line has hung up.
        if (got == 0)
            return Fail(linkcode::Transmit, EIO);
        if (errno != EAGAIN && errno != EINTR)
            return Fail(linkcode::Transmit, errno);
    }
}

// The reader took everything queued, so the bytes it needs are still on their way.
void CSerialPort::AwaitBytes(std::chrono::microseconds wire) {
    std::this_thread::sleep_for(wire);
}

void CSerialPort::DiscardInput() {
    ::tcflush(m_pHandle->fd, TCIFLUSH);
}

// A lost device fails the read itself (end of file or EIO).
LinkResult CSerialPort::CheckDevice() {
    return linkcode::Success;
}

CSerialPort::CSerialPort(std::unique_ptr<Handle> handle) : m_pHandle(std::move(handle)) {}

CSerialPort::~CSerialPort() = default;

std::uint32_t NoSuchPortError() {
    return ENODEV;
}
