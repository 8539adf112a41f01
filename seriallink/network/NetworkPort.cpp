#include "seriallink/network/NetworkPort.h"

#include "platform/LastError.h"
#include "seriallink/channel/LinkInterruption.h"
#include "seriallink/network/NetworkErrors.h"
#include "seriallink/serial/ModemLines.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <mutex>

#ifndef _WIN32
#include <cerrno>
#include <net/if.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A device server gathers the line's bytes for a moment before it sends them on.
constexpr milliseconds ServerGathering{50};
constexpr milliseconds MaxAllowance{2000};
constexpr int MaxDiscardReads = 16;
constexpr std::size_t MaxSaid = 200;

struct OpenFailure {
    std::uint32_t error;
    std::string remark;
};
std::mutex failuresLock;
std::map<std::string, OpenFailure> failures; // by URL: the last open's

void RecordOpen(const std::string& url, LinkResult result) {
    const std::lock_guard hold(failuresLock);
    if (result == linkcode::Success)
        failures.erase(url);
    else
        failures[url] = {LastSystemError(), ServerRemark()};
}

std::uint32_t NegotiationError(CRfc2217Session::Progress progress) {
    switch (progress) {
    case CRfc2217Session::Progress::NoOption:
        return neterror::NoComPortControl;
    case CRfc2217Session::Progress::NoBinary:
        return neterror::NoBinary;
    case CRfc2217Session::Progress::OtherRate:
        return neterror::OtherRate;
    case CRfc2217Session::Progress::OtherFraming:
        return neterror::OtherFraming;
    default:
        return neterror::NegotiationTimedOut;
    }
}

// A reset or a broken pipe is the server gone as much as a close: a server that turns a client away
// closes at once, and data the client sent meanwhile makes that a reset. Told as one, with its words.
void TellServerGone() {
#ifdef _WIN32
    constexpr std::uint32_t gone[] = {10053, 10054}; // WSAECONNABORTED, WSAECONNRESET
#else
    constexpr std::uint32_t gone[] = {ECONNRESET, EPIPE};
#endif
    if (std::find(std::begin(gone), std::end(gone), LastSystemError()) != std::end(gone))
        SetLastSystemError(neterror::ConnectionClosed);
}

// Whether the zone of a link-local address, if it has one, names an interface: a lookup would call an
// unknown one an unknown host. Windows numbers its interfaces, and a number is left to the system.
bool KnownZone(const std::string& host) {
    const std::size_t percent = host.find('%');
    if (percent == std::string::npos)
        return true;
#ifdef _WIN32
    return true;
#else
    const std::string zone = host.substr(percent + 1);
    return std::all_of(zone.begin(), zone.end(), [](unsigned char c) { return std::isdigit(c); }) ||
           ::if_nametoindex(zone.c_str()) != 0;
#endif
}

// Words a server sends in plain text, such as ser2net's "Port already in use" on a busy port: printable
// ASCII and blanks only, with letters and a blank, so that a piece of a controller's frame is not taken
// for them. Each run of blanks and line ends becomes one space.
std::string ServerWords(std::span<const std::uint8_t> bytes) {
    std::string words;
    int letters = 0;
    bool blank = false;
    for (const std::uint8_t byte : bytes) {
        if (byte == ' ' || byte == '\r' || byte == '\n' || byte == '\t') {
            blank = true;
            if (!words.empty() && words.back() != ' ')
                words += ' ';
        } else if (byte > 0x20 && byte < 0x7F) {
            letters += std::isalpha(byte) ? 1 : 0;
            words += char(byte);
        } else
            return {};
    }
    if (!words.empty() && words.back() == ' ')
        words.pop_back();
    return letters >= 3 && blank ? words : std::string();
}

} // namespace

CNetworkPort::CNetworkPort(std::unique_ptr<CTcpConnection> connection, std::optional<CRfc2217Session> session,
                           std::string name, PortNoteSink notes)
    : m_pConnection(std::move(connection)), m_session(std::move(session)), m_name(std::move(name)),
      m_notes(std::move(notes)) {}

LinkResult CNetworkPort::Open(const PortUrl& url, std::int32_t baudRate, const NetworkTimeouts& timeouts,
                              const PortNoteSink& notes, std::unique_ptr<CNetworkPort>& port) {
    port.reset();
    SetServerRemark({});
    if (!KnownZone(url.host)) {
        SetLastSystemError(neterror::UnknownZone);
        return linkcode::CannotOpen;
    }
    std::unique_ptr<CTcpConnection> connection;
    if (const LinkResult connected = CTcpConnection::Connect(url.host, url.port, timeouts, connection);
        connected != linkcode::Success)
        return connected;
    std::optional<CRfc2217Session> session;
    if (url.protocol == PortUrl::Protocol::Rfc2217)
        session.emplace(static_cast<std::uint32_t>(baudRate));
    std::unique_ptr<CNetworkPort> opening(
        new CNetworkPort(std::move(connection), std::move(session), url.Endpoint(), notes));
    if (opening->m_session)
        if (const LinkResult negotiated = opening->Negotiate(timeouts, url.Endpoint(), notes);
            negotiated != linkcode::Success)
            return negotiated;
    port = std::move(opening);
    return linkcode::Success;
}

LinkResult CNetworkPort::Open(const std::string& name, std::int32_t baudRate, const PortNoteSink& notes,
                              std::unique_ptr<CByteChannel>& channel) {
    std::string malformed;
    const std::optional<PortUrl> url = ParsePortUrl(name, malformed);
    std::unique_ptr<CNetworkPort> port;
    LinkResult result = linkcode::CannotOpen;
    if (!url)
        SetLastSystemError(neterror::BadAddress);
    else
        result = Open(*url, baudRate, NetworkTimeouts{}, notes, port);
    RecordOpen(name, result);
    channel = std::move(port);
    return result;
}

LinkResult CNetworkPort::Negotiate(const NetworkTimeouts& timeouts, const std::string& name,
                                   const PortNoteSink& notes) {
    const Clock::time_point deadline = Clock::now() + timeouts.negotiation;
    // A server that turns the client away may have closed already: what it said still counts.
    bool closed =
        m_pConnection->Send(m_session->Opening(), int(timeouts.negotiation.count())) != linkcode::Success;
    while (m_session->State() == CRfc2217Session::Progress::Negotiating && Clock::now() < deadline) {
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
        if (ReceiveOnce(int(left.count())) != linkcode::Success) {
            closed = true;
            break;
        }
        // Only the start of what the line or the server sends now is kept, for the server's own words.
        if (m_pending.size() > MaxSaid)
            m_pending.resize(MaxSaid);
    }
    if (LinksInterrupted())
        return linkcode::UserAbort;
    // ser2net, for one, says in plain text that its port's device is in use before it closes.
    if (const std::string remark = Remark();
        !remark.empty() && m_session->State() != CRfc2217Session::Progress::Ready && notes)
        notes(name + ": " + remark);
    if (closed && m_session->State() == CRfc2217Session::Progress::Negotiating) {
        SetLastSystemError(neterror::ClosedAtOpen);
        return linkcode::CannotOpen;
    }
    if (m_session->State() != CRfc2217Session::Progress::Ready) {
        if (!m_session->Mismatch().empty() && notes)
            notes(name + ": the server set " + m_session->Mismatch() + " on its port");
        SetLastSystemError(NegotiationError(m_session->State()));
        return linkcode::CannotOpen;
    }
    if (!m_session->Unstated().empty() && notes)
        notes(name + ": the server answered 0 for the " + m_session->Unstated() +
              " instead of what it set: going on as asked");
    if (m_session->ModemLinesConfirmed()) {
        if (!SleepUnlessInterrupted(ModemLineSettle()))
            return linkcode::UserAbort;
    } else if (notes)
        notes(name + ": the server did not confirm DTR and RTS (its port has no modem lines): going on "
                     "without them");
    // Whatever the line brought while it was being set up belongs to no exchange.
    DiscardInput();
    return linkcode::Success;
}

LinkResult CNetworkPort::ReceiveOnce(int timeoutMs) {
    std::array<std::uint8_t, 512> received;
    std::size_t count = 0;
    if (const LinkResult result = m_pConnection->Receive(received, timeoutMs, count);
        result != linkcode::Success) {
        TellServerGone();
        m_closed = m_closed || LastSystemError() == neterror::ConnectionClosed;
        return result;
    }
    const std::span<const std::uint8_t> bytes(received.data(), count);
    if (!m_session) {
        Heard(bytes);
        m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
        return linkcode::Success;
    }
    const std::size_t before = m_pending.size();
    std::vector<std::uint8_t> answer;
    m_session->Feed(bytes, m_pending, answer);
    Heard(std::span(m_pending).subspan(before));
    return answer.empty() ? linkcode::Success : m_pConnection->Send(answer, timeoutMs + 1000);
}

void CNetworkPort::Heard(std::span<const std::uint8_t> bytes) {
    // A Telnet server begins with its option negotiation (IAC, then WILL, WONT, DO, DONT or SB), which a
    // raw client would take for the line's data.
    for (std::size_t next = 0; !m_session && m_streamStart < 2 && next < bytes.size();
         ++next, ++m_streamStart)
        if (m_streamStart == 0)
            m_firstByte = bytes[next];
        else if (m_firstByte == telnet::Iac && bytes[next] >= telnet::Sb && bytes[next] <= telnet::Dont) {
            m_speaksTelnet = true;
            if (m_notes)
                m_notes(m_name + ": " + Remark());
        }
    // Only the start is kept: what a server says comes first, and a busy line must not grow it.
    if (m_heard.size() < MaxSaid && !bytes.empty()) {
        m_heard.insert(m_heard.end(), bytes.begin(),
                       bytes.begin() + std::ptrdiff_t(std::min(bytes.size(), MaxSaid - m_heard.size())));
        SetServerRemark(Remark());
    }
}

std::string CNetworkPort::Remark() const {
    if (m_speaksTelnet)
        return "the server's port speaks Telnet (RFC 2217), not raw bytes: use rfc2217://" + m_name;
    const std::string words = ServerWords(m_heard);
    return words.empty() ? words : "the server said \"" + words + "\"";
}

// The server's buffer is purged before the request goes out, so what the line brings after it is the
// reply; what is already on its way here is taken and dropped.
void CNetworkPort::DiscardInput() {
    // What is heard from now on belongs to the next request, and what is dropped here with it: a server
    // that turns the client away may have said so before the request went out.
    m_heard.clear();
    SetServerRemark(Remark());
    if (m_session)
        m_pConnection->Send(CRfc2217Session::PurgeReceived(), 1000);
    // A server that never stops sending must not hold the request back: what is left after a few reads
    // is passed over as noise by the reply's wait.
    for (int read = 0; read < MaxDiscardReads && ReceiveOnce(0) == linkcode::Success && !m_pending.empty();
         ++read)
        m_pending.clear();
    m_pending.clear();
}

LinkResult CNetworkPort::Write(std::span<const std::uint8_t> bytes, int timeoutMs) {
    // Sent after the server has gone, the request would fail only with the system's word for a reset.
    if (m_closed) {
        SetLastSystemError(neterror::ConnectionClosed);
        return linkcode::Transmit;
    }
    std::vector<std::uint8_t> escaped;
    if (m_session)
        CRfc2217Session::AppendData(bytes, escaped);
    const LinkResult sent =
        m_pConnection->Send(m_session ? std::span<const std::uint8_t>(escaped) : bytes, timeoutMs);
    if (sent != linkcode::Success)
        TellServerGone();
    return sent;
}

LinkResult CNetworkPort::Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) {
    count = 0;
    const Clock::time_point deadline = Clock::now() + milliseconds(timeoutMs);
    // Telnet commands alone bring no data: wait on for it until the time is up.
    while (m_pending.empty()) {
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return linkcode::Success;
        if (const LinkResult received = ReceiveOnce(int(left)); received != linkcode::Success)
            return received;
    }
    count = std::min(buffer.size(), m_pending.size());
    std::copy_n(m_pending.begin(), count, buffer.begin());
    m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(count));
    return linkcode::Success;
}

std::chrono::milliseconds CNetworkPort::ReplyAllowance() const {
    const auto roundTrip = std::chrono::ceil<milliseconds>(m_pConnection->RoundTrip());
    return std::min(2 * roundTrip + ServerGathering, MaxAllowance);
}

std::optional<std::uint32_t> LastNetworkOpenError(const std::string& url) {
    const std::lock_guard hold(failuresLock);
    const auto found = failures.find(url);
    return found != failures.end() ? std::optional(found->second.error) : std::nullopt;
}

std::string LastNetworkOpenRemark(const std::string& url) {
    const std::lock_guard hold(failuresLock);
    const auto found = failures.find(url);
    return found != failures.end() ? found->second.remark : std::string();
}
