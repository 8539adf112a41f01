#include "platform/LastError.h"
#include "seriallink/SerialPort.h"

#include <windows.h>

#include <algorithm>

// Synchronous I/O on the port handle, no overlapped calls and no thread: the exchange blocks its caller
// by design, and the time-outs below bound every call.
struct CSerialPort::Handle {
    HANDLE port = INVALID_HANDLE_VALUE;
    COMMTIMEOUTS timeouts{};
    bool timeoutsSet = false;
    // The port's settings found at open, put back on close for the next program that opens it.
    DCB originalState{};
    COMMTIMEOUTS originalTimeouts{};
    bool restore = false;

    ~Handle() {
        if (port == INVALID_HANDLE_VALUE)
            return;
        if (restore) {
            ::SetCommState(port, &originalState);
            ::SetCommTimeouts(port, &originalTimeouts);
        }
        ::CloseHandle(port);
    }

    bool UseTimeouts(const COMMTIMEOUTS& wanted) {
        if (timeoutsSet && wanted.ReadIntervalTimeout == timeouts.ReadIntervalTimeout &&
            wanted.ReadTotalTimeoutMultiplier == timeouts.ReadTotalTimeoutMultiplier &&
            wanted.ReadTotalTimeoutConstant == timeouts.ReadTotalTimeoutConstant &&
            wanted.WriteTotalTimeoutConstant == timeouts.WriteTotalTimeoutConstant)
            return true;
        COMMTIMEOUTS settings = wanted;
        timeoutsSet = ::SetCommTimeouts(port, &settings) != FALSE;
        timeouts = wanted;
        return timeoutsSet;
    }
};

namespace {

LinkResult Fail(LinkResult code, DWORD error) {
    SetLastSystemError(error);
    return code;
}

// Drivers end a time-out on the system's clock tick (about 15.6 ms), up to one tick after the time asked
// for. Asking for a tick less keeps each call within the time its caller gave it; a wait no longer than
// a tick only takes what has arrived, and the caller asks again for the time that is left.
constexpr int TimerTickMs = 16;

DWORD WithinTick(int timeoutMs) {
    return timeoutMs > TimerTickMs ? DWORD(timeoutMs - TimerTickMs) : 0;
}

// Reads wait up to the given time for the first byte, then return once the line pauses. A pause of
// one millisecond is the shortest the port takes; the documented MAXDWORD pair for "return on the first
// byte" is not honoured everywhere (Wine waits out the whole time).
COMMTIMEOUTS ReadTimeouts(int timeoutMs) {
    const DWORD wait = WithinTick(timeoutMs);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = wait > 0 ? 1 : MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = wait;
    return timeouts;
}

// The device namespace reaches every port number, not only COM1 to COM9; a name given in it already
// (a port list may hand out \\.\COM12) is taken as it is.
std::string DevicePath(const std::string& device) {
    const std::string prefix = "\\\\.\\";
    return device.rfind(prefix, 0) == 0 ? device : prefix + device;
}

} // namespace

LinkResult CSerialPort::Open(const std::string& device, std::int32_t baudRate,
                             std::unique_ptr<CSerialPort>& port) {
    port.reset();
    auto handle = std::make_unique<Handle>();
    handle->port = ::CreateFileA(DevicePath(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (handle->port == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A port that another program has open is refused as access denied (or a sharing violation).
        const bool inUse = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        return Fail(inUse ? linkcode::PortInUse : linkcode::CannotOpen, error);
    }

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle->port, &dcb) || !::GetCommTimeouts(handle->port, &handle->originalTimeouts))
        return Fail(linkcode::CannotOpen, ::GetLastError());
    handle->originalState = dcb;
    handle->restore = true;
    dcb.BaudRate = DWORD(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    // Unused without software flow control, yet some USB drivers report them equal, and SetCommState
    // refuses a state whose two characters are the same.
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(handle->port, &dcb))
        return Fail(linkcode::CannotOpen, ::GetLastError());
    // Bytes that arrived before this open belong to nobody's exchange.
    ::PurgeComm(handle->port, PURGE_RXCLEAR);

    port.reset(new CSerialPort(std::move(handle)));
    return linkcode::Success;
}

LinkResult CSerialPort::Write(std::span<const std::uint8_t> bytes, int timeoutMs) {
    COMMTIMEOUTS timeouts = m_pHandle->timeouts;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    // Zero would mean no time-out at all.
    timeouts.WriteTotalTimeoutConstant = std::max<DWORD>(WithinTick(timeoutMs), 1);
    if (!m_pHandle->UseTimeouts(timeouts))
        return Fail(linkcode::Transmit, ::GetLastError());
    DWORD written = 0;
    if (!::WriteFile(m_pHandle->port, bytes.data(), DWORD(bytes.size()), &written, nullptr))
        return Fail(linkcode::Transmit, ::GetLastError());
    if (written < bytes.size())
        return Fail(linkcode::Transmit, ERROR_TIMEOUT);
    return linkcode::Success;
}

LinkResult CSerialPort::Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) {
    count = 0;
    COMMTIMEOUTS timeouts = ReadTimeouts(timeoutMs);
    timeouts.WriteTotalTimeoutConstant = m_pHandle->timeouts.WriteTotalTimeoutConstant;
    if (!m_pHandle->UseTimeouts(timeouts))
        return Fail(linkcode::Transmit, ::GetLastError());
    DWORD got = 0;
    // A device lost mid-exchange (adapter pulled out) fails here with ERROR_ACCESS_DENIED or
    // ERROR_GEN_FAILURE, which the system words like a port in use: it is reported as data that could
    // not be carried.
    if (!::ReadFile(m_pHandle->port, buffer.data(), DWORD(buffer.size()), &got, nullptr))
        return Fail(linkcode::Transmit, ::GetLastError());
    count = got;
    return linkcode::Success;
}

void CSerialPort::DiscardInput() {
    ::PurgeComm(m_pHandle->port, PURGE_RXCLEAR);
}

CSerialPort::CSerialPort(std::unique_ptr<Handle> handle) : m_pHandle(std::move(handle)) {}

CSerialPort::~CSerialPort() = default;

std::uint32_t NoSuchPortError() {
    return ERROR_FILE_NOT_FOUND;
}
