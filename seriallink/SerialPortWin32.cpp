#include "platform/LastError.h"
#include "seriallink/SerialPort.h"

#include <windows.h>

// Synchronous I/O on the port handle, no overlapped calls and no thread: the exchange blocks its caller
// by design, and the time-outs below bound every call.
struct CSerialPort::Handle {
    HANDLE port = INVALID_HANDLE_VALUE;
    COMMTIMEOUTS timeouts{};
    bool timeoutsSet = false;

    ~Handle() {
        if (port != INVALID_HANDLE_VALUE)
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

// The device went away (adapter unplugged, driver gone) rather than refusing one transfer.
bool IsDeviceLoss(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND:
        return true;
    default:
        return false;
    }
}

// Reads wait up to the given time for the first byte, then return once the line pauses. A pause of
// one millisecond is the shortest the port takes; the documented MAXDWORD pair for "return on the first
// byte" is not honoured everywhere (Wine waits out the whole time).
COMMTIMEOUTS ReadTimeouts(int timeoutMs) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = timeoutMs > 0 ? 1 : MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = timeoutMs > 0 ? DWORD(timeoutMs) : 0;
    return timeouts;
}

} // namespace

LinkResult CSerialPort::Open(const std::string& device, std::int32_t baudRate,
                             std::unique_ptr<CSerialPort>& port) {
    port.reset();
    auto handle = std::make_unique<Handle>();
    // The device namespace reaches every port number, not only COM1 to COM9.
    const std::string path = "\\\\.\\" + device;
    handle->port =
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle->port == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A port that another program has open is refused as access denied (or a sharing violation).
        const bool inUse = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        return Fail(inUse ? linkcode::PortInUse : linkcode::CannotOpen, error);
    }

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle->port, &dcb))
        return Fail(linkcode::CannotOpen, ::GetLastError());
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
    timeouts.WriteTotalTimeoutConstant = DWORD(timeoutMs);
    if (!m_pHandle->UseTimeouts(timeouts))
        return Fail(linkcode::DeviceLost, ::GetLastError());
    DWORD written = 0;
    if (!::WriteFile(m_pHandle->port, bytes.data(), DWORD(bytes.size()), &written, nullptr)) {
        const DWORD error = ::GetLastError();
        return Fail(IsDeviceLoss(error) ? linkcode::DeviceLost : linkcode::Transmit, error);
    }
    if (written < bytes.size())
        return Fail(linkcode::Transmit, ERROR_TIMEOUT);
    return linkcode::Success;
}

LinkResult CSerialPort::Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) {
    count = 0;
    COMMTIMEOUTS timeouts = ReadTimeouts(timeoutMs);
    timeouts.WriteTotalTimeoutConstant = m_pHandle->timeouts.WriteTotalTimeoutConstant;
    if (!m_pHandle->UseTimeouts(timeouts))
        return Fail(linkcode::DeviceLost, ::GetLastError());
    DWORD got = 0;
    if (!::ReadFile(m_pHandle->port, buffer.data(), DWORD(buffer.size()), &got, nullptr))
        return Fail(linkcode::DeviceLost, ::GetLastError());
    count = got;
    return linkcode::Success;
}

CSerialPort::CSerialPort(std::unique_ptr<Handle> handle) : m_pHandle(std::move(handle)) {}

CSerialPort::~CSerialPort() = default;

std::uint32_t NoSuchPortError() {
    return ERROR_FILE_NOT_FOUND;
}
