#include "seriallink/serial/CommPort.h"

#include "platform/LastError.h"
#include "seriallink/channel/LinkInterruption.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace {

using std::chrono::milliseconds;

// Some USB serial drivers refuse a reopen with access denied for a short while after a clean close,
// and every exchange opens the port afresh: such a refusal is tried again for this long before the
// port counts as held by another program.
constexpr milliseconds OpenRetryTime{300};
constexpr milliseconds OpenRetryPause{20};

// Drivers end a time-out on the system's clock tick (about 15.6 ms), up to one tick after the time asked
// for. Asking for a tick less keeps each call within the time its caller gave it; a wait no longer than
// a tick still blocks for the shortest time the port takes, never returns at once.
constexpr int TimerTickMs = 16;

std::uint32_t WithinTick(int timeoutMs) {
    return timeoutMs > TimerTickMs + 1 ? std::uint32_t(timeoutMs - TimerTickMs) : 1;
}

// The device namespace reaches every port number, not only COM1 to COM9; a name given in it already
// (a port list may hand out \\.\COM12) is taken as it is.
std::string DevicePath(const std::string& device) {
    const std::string prefix = "\\\\.\\";
    return device.rfind(prefix, 0) == 0 ? device : prefix + device;
}

std::string ErrorFlagNames(std::uint32_t errors) {
    constexpr std::array<std::pair<std::uint32_t, const char*>, 6> names{{{win32::CeRxOver, "CE_RXOVER"},
                                                                          {win32::CeOverrun, "CE_OVERRUN"},
                                                                          {win32::CeRxParity, "CE_RXPARITY"},
                                                                          {win32::CeFrame, "CE_FRAME"},
                                                                          {win32::CeBreak, "CE_BREAK"},
                                                                          {win32::CeTxFull, "CE_TXFULL"}}};
    std::string text;
    const auto add = [&text](const char* name) {
        if (!text.empty())
            text += ' ';
        text += name;
    };
    for (const auto& [flag, name] : names) {
        if ((errors & flag) != 0)
            add(name);
        errors &= ~flag;
    }
    if (errors != 0) {
        char rest[16];
        std::snprintf(rest, sizeof rest, "0x%X", unsigned(errors));
        add(rest);
    }
    return text;
}

} // namespace

CCommPort::CCommPort(std::unique_ptr<CCommCalls> calls, PortNoteSink notes)
    : m_pCalls(std::move(calls)), m_notes(std::move(notes)) {}

LinkResult CCommPort::Open(std::unique_ptr<CCommCalls> calls, const std::string& device,
                           std::int32_t baudRate, PortNoteSink notes, std::unique_ptr<CCommPort>& port) {
    port.reset();
    // Closed again, with its settings put back, by its destructor when a step below fails.
    std::unique_ptr<CCommPort> opening(new CCommPort(std::move(calls), std::move(notes)));
    if (const LinkResult opened = opening->OpenHandle(device); opened != linkcode::Success)
        return opened;
    if (const LinkResult configured = opening->Configure(baudRate); configured != linkcode::Success)
        return configured;
    port = std::move(opening);
    return linkcode::Success;
}

LinkResult CCommPort::OpenHandle(const std::string& device) {
    m_strDevice = device;
    const std::string path = DevicePath(device);
    const CCommCalls::TimePoint start = m_pCalls->Now();
    int refusals = 0;
    while (!m_pCalls->Open(path)) {
        const std::uint32_t error = m_pCalls->LastError();
        const milliseconds waited = std::chrono::duration_cast<milliseconds>(m_pCalls->Now() - start);
        if (error == win32::ErrorAccessDenied && waited < OpenRetryTime && !LinksInterrupted()) {
            ++refusals;
            m_pCalls->Sleep(std::min(OpenRetryPause, OpenRetryTime - waited));
            continue;
        }
        if (error == win32::ErrorAccessDenied && refusals > 0)
            Note(m_strDevice + ": access denied for " + std::to_string(waited.count()) +
                 " ms, taken as held by another program");
        // A port that another program has open is refused as access denied (or a sharing violation).
        const bool inUse = error == win32::ErrorAccessDenied || error == win32::ErrorSharingViolation;
        return Fail(inUse ? linkcode::PortInUse : linkcode::CannotOpen);
    }
    m_bOpen = true;
    if (refusals > 0)
        Note(m_strDevice + ": access denied " + std::to_string(refusals) + " times, opened after " +
             std::to_string(std::chrono::duration_cast<milliseconds>(m_pCalls->Now() - start).count()) +
             " ms");
    return linkcode::Success;
}

LinkResult CCommPort::Configure(std::int32_t baudRate) {
    CommState state;
    if (!m_pCalls->GetState(state) || !m_pCalls->GetTimeouts(m_foundTimeouts))
        return Fail(linkcode::CannotOpen);
    // Some USB drivers report the two characters equal, and SetCommState refuses such a state: put back
    // as found, it would fail unseen. They only matter with software flow control.
    CommState found = state;
    if (found.XonChar == found.XoffChar) {
        found.XonChar = win32::XonCharDefault;
        found.XoffChar = win32::XoffCharDefault;
    }
    m_foundState = found;

    state = found;
    state.BaudRate = std::uint32_t(baudRate);
    state.ByteSize = 8;
    state.Parity = win32::NoParity;
    state.StopBits = win32::OneStopBit;
    state.fBinary = 1;
    state.fParity = 0;
    state.fOutxCtsFlow = 0;
    state.fOutxDsrFlow = 0;
    state.fDsrSensitivity = 0;
    state.fDtrControl = win32::DtrControlEnable;
    state.fRtsControl = win32::RtsControlEnable;
    state.fOutX = 0;
    state.fInX = 0;
    state.fErrorChar = 0;
    state.fNull = 0;
    state.fAbortOnError = 0;
    if (!m_pCalls->SetState(state))
        return Fail(linkcode::CannotOpen);
    if (!SettleModemLines())
        return linkcode::UserAbort;
    // Bytes that arrived before this open belong to nobody's exchange.
    m_pCalls->PurgeInput();
    return linkcode::Success;
}

bool CCommPort::SettleModemLines() {
    if (!m_pCalls->HasModemLines())
        return true;
    for (milliseconds left = ModemLineSettle(); left > milliseconds::zero(); left -= InterruptionSlice) {
        if (LinksInterrupted())
            return false;
        m_pCalls->Sleep(std::min(left, InterruptionSlice));
    }
    return !LinksInterrupted();
}

CCommPort::~CCommPort() {
    if (m_foundState && !m_pCalls->SetState(*m_foundState))
        Note(m_strDevice + ": the line settings found at open were not put back: " + ErrorText());
    if (m_foundState && !m_pCalls->SetTimeouts(m_foundTimeouts))
        Note(m_strDevice + ": the time-outs found at open were not put back: " + ErrorText());
    if (m_bOpen)
        m_pCalls->Close();
}

void CCommPort::DiscardInput() {
    m_pCalls->PurgeInput();
}

LinkResult CCommPort::Write(std::span<const std::uint8_t> bytes, int timeoutMs) {
    CommTimeouts timeouts = m_timeouts.value_or(CommTimeouts{});
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = WithinTick(timeoutMs);
    if (!UseTimeouts(timeouts))
        return Fail(linkcode::Transmit);
    std::uint32_t written = 0;
    if (!m_pCalls->Write(bytes, written))
        return Fail(linkcode::Transmit);
    if (written < bytes.size()) {
        SetLastSystemError(win32::ErrorTimeout);
        return linkcode::Transmit;
    }
    return linkcode::Success;
}

// Waits for the first byte, then takes what has arrived. Some drivers start the interval timer with
// the read, so a read that is to wait for its first byte does not rely on it where the driver honours
// the mode made for that.
CommTimeouts CCommPort::ReadTimeouts(std::uint32_t wait) const {
    CommTimeouts timeouts = m_timeouts.value_or(CommTimeouts{});
    const bool firstByte = m_pCalls->ReturnsOnFirstByte();
    timeouts.ReadIntervalTimeout = firstByte ? win32::MaxDword : 1;
    timeouts.ReadTotalTimeoutMultiplier = firstByte ? win32::MaxDword : 0;
    timeouts.ReadTotalTimeoutConstant = wait;
    return timeouts;
}

LinkResult CCommPort::Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) {
    count = 0;
    const CCommCalls::TimePoint start = m_pCalls->Now();
    const std::uint32_t wait = WithinTick(timeoutMs);
    if (!UseTimeouts(ReadTimeouts(wait)))
        return Fail(linkcode::Transmit);
    std::uint32_t got = 0;
    // A device lost mid-exchange (adapter pulled out) fails here with ERROR_ACCESS_DENIED or
    // ERROR_GEN_FAILURE, which the system words like a port in use: it is reported as data that could
    // not be carried.
    if (!m_pCalls->Read(buffer, got))
        return Fail(linkcode::Transmit);
    if (got > 0) {
        count = got;
        return linkcode::Success;
    }
    // Some drivers answer a read on a removed device with success and no bytes.
    if (const LinkResult present = CheckDevice(); present != linkcode::Success)
        return present;
    // Back empty before its time: the driver did not block, and asking again at once would spin.
    const CCommCalls::TimePoint now = m_pCalls->Now();
    if (now < start + milliseconds(wait)) {
        const auto left = std::chrono::duration_cast<milliseconds>(start + milliseconds(timeoutMs) - now);
        m_pCalls->Sleep(std::clamp(left, milliseconds(0), milliseconds(TimerTickMs)));
    }
    return linkcode::Success;
}

LinkResult CCommPort::CheckDevice() {
    std::uint32_t errors = 0;
    if (!m_pCalls->ClearErrors(errors))
        return Fail(linkcode::Transmit);
    if (errors != 0)
        Note(m_strDevice + ": line errors " + ErrorFlagNames(errors));
    return linkcode::Success;
}

bool CCommPort::UseTimeouts(const CommTimeouts& wanted) {
    if (m_timeouts == wanted)
        return true;
    m_timeouts.reset();
    if (!m_pCalls->SetTimeouts(wanted))
        return false;
    m_timeouts = wanted;
    return true;
}

LinkResult CCommPort::Fail(LinkResult code) const {
    SetLastSystemError(m_pCalls->LastError());
    return code;
}

std::string CCommPort::ErrorText() const {
    const std::uint32_t error = m_pCalls->LastError();
    std::string text = SystemErrorText(error);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    std::string described = "error " + std::to_string(error);
    if (!text.empty())
        described += " (" + text + ")";
    return described;
}

void CCommPort::Note(const std::string& note) const {
    if (m_notes)
        m_notes(note);
}
