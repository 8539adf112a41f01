#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The Win32 communications calls the Windows port makes, on one port, with types of our own that carry
// the same values: the port's decisions (retries, time-outs, what a failure means) are plain code over
// this interface, and tests play the calls from a script on a clock of their own.
namespace win32 {

inline constexpr std::uint32_t MaxDword = 0xFFFFFFFF;

// System error codes the port tells apart.
inline constexpr std::uint32_t ErrorFileNotFound = 2;
inline constexpr std::uint32_t ErrorAccessDenied = 5;
inline constexpr std::uint32_t ErrorSharingViolation = 32;
inline constexpr std::uint32_t ErrorTimeout = 1460;

// ClearCommError's flags.
inline constexpr std::uint32_t CeRxOver = 0x0001;
inline constexpr std::uint32_t CeOverrun = 0x0002;
inline constexpr std::uint32_t CeRxParity = 0x0004;
inline constexpr std::uint32_t CeFrame = 0x0008;
inline constexpr std::uint32_t CeBreak = 0x0010;
inline constexpr std::uint32_t CeTxFull = 0x0100;

// DCB values the port sets.
inline constexpr std::uint32_t NoParity = 0;
inline constexpr std::uint32_t OneStopBit = 0;
inline constexpr std::uint32_t DtrControlEnable = 1;
inline constexpr std::uint32_t RtsControlEnable = 1;
inline constexpr std::uint32_t XonCharDefault = 0x11;
inline constexpr std::uint32_t XoffCharDefault = 0x13;

} // namespace win32

// Every field of the DCB, each held as a number: what the port found is put back unchanged.
// clang-format off
#define TALVOR_DCB_FIELDS(X)                                                                                 \
    X(BaudRate) X(fBinary) X(fParity) X(fOutxCtsFlow) X(fOutxDsrFlow) X(fDtrControl) X(fDsrSensitivity)      \
    X(fTXContinueOnXoff) X(fOutX) X(fInX) X(fErrorChar) X(fNull) X(fRtsControl) X(fAbortOnError) X(XonLim)  \
    X(XoffLim) X(ByteSize) X(Parity) X(StopBits) X(XonChar) X(XoffChar) X(ErrorChar) X(EofChar) X(EvtChar)
// clang-format on

struct CommState {
#define TALVOR_DCB_MEMBER(name) std::uint32_t name = 0;
    TALVOR_DCB_FIELDS(TALVOR_DCB_MEMBER)
#undef TALVOR_DCB_MEMBER
    bool operator==(const CommState&) const = default;
};

struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
    bool operator==(const CommTimeouts&) const = default;
};

// One port's calls. Each call that fails returns false and leaves its error for LastError().
class CCommCalls {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    CCommCalls() = default;
    virtual ~CCommCalls() = default;
    CCommCalls(const CCommCalls&) = delete;
    CCommCalls& operator=(const CCommCalls&) = delete;

    // CreateFile for reading and writing, share mode 0, synchronous I/O; Close is CloseHandle, called
    // only after an Open that succeeded.
    virtual bool Open(const std::string& path) = 0;
    virtual void Close() = 0;
    virtual bool GetState(CommState& state) = 0;
    virtual bool SetState(const CommState& state) = 0;
    virtual bool GetTimeouts(CommTimeouts& timeouts) = 0;
    virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
    // PurgeComm with PURGE_RXCLEAR.
    virtual bool PurgeInput() = 0;
    virtual bool Read(std::span<std::uint8_t> buffer, std::uint32_t& got) = 0;
    virtual bool Write(std::span<const std::uint8_t> bytes, std::uint32_t& written) = 0;
    // ClearCommError: the CE_ flags raised since the last call.
    virtual bool ClearErrors(std::uint32_t& errors) = 0;
    // GetCommModemStatus: fails on a port without modem lines.
    virtual bool HasModemLines() = 0;
    virtual std::uint32_t LastError() const = 0;

    // Whether a read in the "return on the first byte" mode (ReadIntervalTimeout and
    // ReadTotalTimeoutMultiplier MAXDWORD) comes back when a byte arrives; Wine waits out its time.
    virtual bool ReturnsOnFirstByte() const = 0;

    // The system's clock and Sleep.
    virtual TimePoint Now() const = 0;
    virtual void Sleep(std::chrono::milliseconds time) = 0;
};
