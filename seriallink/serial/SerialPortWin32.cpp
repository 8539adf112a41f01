#include "seriallink/serial/CommPort.h"
#include "seriallink/serial/SerialPort.h"

#include <windows.h>

static_assert(win32::MaxDword == MAXDWORD && win32::ErrorFileNotFound == ERROR_FILE_NOT_FOUND &&
              win32::ErrorAccessDenied == ERROR_ACCESS_DENIED &&
              win32::ErrorSharingViolation == ERROR_SHARING_VIOLATION &&
              win32::ErrorTimeout == ERROR_TIMEOUT);
static_assert(win32::CeRxOver == CE_RXOVER && win32::CeOverrun == CE_OVERRUN &&
              win32::CeRxParity == CE_RXPARITY && win32::CeFrame == CE_FRAME && win32::CeBreak == CE_BREAK &&
              win32::CeTxFull == CE_TXFULL);
static_assert(win32::NoParity == NOPARITY && win32::OneStopBit == ONESTOPBIT &&
              win32::DtrControlEnable == DTR_CONTROL_ENABLE && win32::RtsControlEnable == RTS_CONTROL_ENABLE);

namespace {

// The calls themselves, one to one; every decision about them is CCommPort's.
class Win32CommCalls : public CCommCalls {
public:
    Win32CommCalls() {
        // Wine's ntdll names itself; Windows' has no such export.
        const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
        m_bUnderWine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }

    bool Open(const std::string& path) override {
        m_port =
            ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return Took(m_port != INVALID_HANDLE_VALUE);
    }
    void Close() override { ::CloseHandle(m_port); }

    bool GetState(CommState& state) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!Took(::GetCommState(m_port, &dcb)))
            return false;
#define TALVOR_FROM_DCB(name) state.name = std::uint32_t(dcb.name);
        TALVOR_DCB_FIELDS(TALVOR_FROM_DCB)
#undef TALVOR_FROM_DCB
        return true;
    }
    bool SetState(const CommState& state) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
#define TALVOR_TO_DCB(name) dcb.name = static_cast<decltype(dcb.name)>(state.name);
        TALVOR_DCB_FIELDS(TALVOR_TO_DCB)
#undef TALVOR_TO_DCB
        return Took(::SetCommState(m_port, &dcb));
    }

    bool GetTimeouts(CommTimeouts& timeouts) override {
        COMMTIMEOUTS found{};
        if (!Took(::GetCommTimeouts(m_port, &found)))
            return false;
        timeouts = {found.ReadIntervalTimeout, found.ReadTotalTimeoutMultiplier,
                    found.ReadTotalTimeoutConstant, found.WriteTotalTimeoutMultiplier,
                    found.WriteTotalTimeoutConstant};
        return true;
    }
    bool SetTimeouts(const CommTimeouts& timeouts) override {
        COMMTIMEOUTS wanted{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                            timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                            timeouts.WriteTotalTimeoutConstant};
        return Took(::SetCommTimeouts(m_port, &wanted));
    }

    bool PurgeInput() override {
        return Took(::PurgeComm(m_port, PURGE_RXCLEAR));
    }

    bool Read(std::span<std::uint8_t> buffer, std::uint32_t& got) override {
        DWORD count = 0;
        const bool read = Took(::ReadFile(m_port, buffer.data(), DWORD(buffer.size()), &count, nullptr));
        got = count;
        return read;
    }
    bool Write(std::span<const std::uint8_t> bytes, std::uint32_t& written) override {
        DWORD count = 0;
        const bool wrote = Took(::WriteFile(m_port, bytes.data(), DWORD(bytes.size()), &count, nullptr));
        written = count;
        return wrote;
    }

    bool ClearErrors(std::uint32_t& errors) override {
        DWORD flags = 0;
        COMSTAT status{};
        const bool cleared = Took(::ClearCommError(m_port, &flags, &status));
        errors = flags;
        return cleared;
    }
    bool HasModemLines() override {
        DWORD lines = 0;
        return ::GetCommModemStatus(m_port, &lines) != FALSE;
    }
    std::uint32_t LastError() const override {
        return m_error;
    }

    bool ReturnsOnFirstByte() const override {
        return !m_bUnderWine;
    }

    TimePoint Now() const override {
        return std::chrono::steady_clock::now();
    }
    void Sleep(std::chrono::milliseconds time) override {
        ::Sleep(DWORD(time.count()));
    }

private:
    // Keeps a failed call's error before anything else can overwrite it.
    bool Took(BOOL succeeded) {
        m_error = succeeded ? ERROR_SUCCESS : ::GetLastError();
        return succeeded != FALSE;
    }

    HANDLE m_port = INVALID_HANDLE_VALUE;
    DWORD m_error = ERROR_SUCCESS;
    bool m_bUnderWine = false;
};

} // namespace

struct CSerialPort::Handle {
    std::unique_ptr<CCommPort> port;
};

LinkResult CSerialPort::Open(const std::string& device, std::int32_t baudRate,
                             std::unique_ptr<CSerialPort>& port, const PortNoteSink& notes) {
    port.reset();
    auto handle = std::make_unique<Handle>();
    const LinkResult opened =
        CCommPort::Open(std::make_unique<Win32CommCalls>(), device, baudRate, notes, handle->port);
    if (opened == linkcode::Success)
        port.reset(new CSerialPort(std::move(handle)));
    return opened;
}

void CSerialPort::DiscardInput() {
    m_pHandle->port->DiscardInput();
}

LinkResult CSerialPort::Write(std::span<const std::uint8_t> bytes, int timeoutMs) {
    return m_pHandle->port->Write(bytes, timeoutMs);
}

LinkResult CSerialPort::Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) {
    return m_pHandle->port->Read(buffer, timeoutMs, count);
}

LinkResult CSerialPort::CheckDevice() {
    return m_pHandle->port->CheckDevice();
}

// Not here: a read already comes back per packet of the driver, and a sleep lasts at least the system's
// timer tick (up to 15.6 ms), longer than most replies take.
void CSerialPort::AwaitBytes(std::chrono::microseconds) {}

CSerialPort::CSerialPort(std::unique_ptr<Handle> handle) : m_pHandle(std::move(handle)) {}

CSerialPort::~CSerialPort() = default;

std::uint32_t NoSuchPortError() {
    return ERROR_FILE_NOT_FOUND;
}
