#include "cli/LineTrace.h"

#include "cli/Output.h"
#include "link/LinkMessageTable.h"
#include "model/Hex.h"
#include "platform/LastError.h"
#include "res/StringTable.h"
#include "seriallink/frame/Frame.h"
#include "seriallink/network/NetworkErrors.h"
#include "seriallink/network/PortUrl.h"
#include "seriallink/serial/PortAccess.h"

namespace {

double MillisecondsBetween(std::chrono::steady_clock::time_point from,
                           std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

QString SpacedHex(std::span<const std::uint8_t> frame) {
    return QString::fromStdString(ToHex(frame));
}

// The first sentence of the utility's text for a link result, without the advice that may follow it;
// empty where it has none.
QString ResultMeaning(LinkResult result) {
    const std::optional<unsigned> stringId = LinkMessageStringId(result);
    if (!stringId)
        return QString();
    const QString text = TerminalText(LoadResourceString(*stringId));
    const qsizetype end = text.indexOf(QStringLiteral(". "));
    return end < 0 ? text : text.left(end + 1);
}

// "link result 2 (Incorrect Communication Packet (Time Out Error).)".
QString ResultName(LinkResult result) {
    const QString number = QStringLiteral("link result %1").arg(result);
    const QString meaning = ResultMeaning(result);
    return meaning.isEmpty() ? number : QStringLiteral("%1 (%2)").arg(number, meaning);
}

// What the controller said by answering `status` to a request: the utility's whole text for it, as
// some carry advice that matters (the run switch), but none about the cable, which carried the answer.
QString RefusalText(LinkResult status) {
    const std::optional<unsigned> stringId = LinkMessageStringId(status);
    QString meaning = stringId ? WithoutCableAdvice(TerminalText(LoadResourceString(*stringId))) : QString();
    if (IsSilentLinkResult(status))
        return QStringLiteral("The controller refused the request with status %1 and gave no reason.")
            .arg(status);
    if (meaning.isEmpty())
        return QStringLiteral("The controller refused the request with status %1, which this program does "
                              "not know.")
            .arg(status);
    if (!meaning.endsWith('.') && !meaning.endsWith('!'))
        meaning += '.';
    return QStringLiteral("The controller refused the request with status %1: %2").arg(status).arg(meaning);
}

// What to look at when a device server's port fails on the line, where the link's texts speak of a cable.
QString NetworkAdvice(const std::string& device) {
    std::string malformed;
    const std::optional<PortUrl> url = ParsePortUrl(device, malformed);
    if (!url)
        return {};
    return url->protocol == PortUrl::Protocol::Rfc2217
               ? QStringLiteral("On a device server, check that its port leads to the controller, that no "
                                "other client holds the port, and the network's delay.")
               : QStringLiteral("On a device server, check that its port is set up as the controller's line "
                                "(19200 bit/s, 8N1, no flow control), that no other client holds the port, "
                                "and the network's delay.");
}

// "the server closed the connection" as a sentence of its own.
QString Sentence(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text.endsWith('.') ? text : text + '.';
}

} // namespace

CLineTrace::CLineTrace(bool print) : m_bPrint(print), m_start(Clock::now()), m_sent(m_start) {}

void CLineTrace::PortOpened(const std::string& device, LinkResult result) {
    m_networkAdvice = NetworkAdvice(device);
    if (result == linkcode::UserAbort) {
        m_failure = LinkFailure::Interrupted;
    } else if (result != linkcode::Success) {
        // Taken now: the link has just recorded the system's reason for this failure.
        const std::uint32_t error = LastSystemError();
        QString reason = error != 0 ? QString::fromLocal8Bit(LinkErrorText(error)) : ResultName(result);
        if (!m_networkAdvice.isEmpty() && !ServerRemark().empty())
            reason += QStringLiteral("; ") + QString::fromStdString(ServerRemark());
        m_openFailure =
            result == linkcode::PortInUse
                ? QStringLiteral("cannot open %1: another program is using it (%2)")
                      .arg(QString::fromStdString(device), reason)
                : QStringLiteral("cannot open %1: %2").arg(QString::fromStdString(device), reason);
        const int code = static_cast<int>(error);
        if (const std::string fix = PermissionFix(device, code, DeviceGroup(device)); !fix.empty())
            *m_openFailure += QStringLiteral(". ") + QString::fromStdString(fix);
        m_failure = LinkFailure::Open;
    }
    Write(QStringLiteral("open %1: %2")
              .arg(QString::fromStdString(device),
                   result == linkcode::Success ? QStringLiteral("ok") : ResultName(result)));
}

void CLineTrace::FrameSent(std::span<const std::uint8_t> frame) {
    m_sent = Clock::now();
    m_reply.clear();
    m_bRejected = false;
    if (frame.size() >= frame::HeaderSize)
        m_sentCodes.insert(DecodeHeader(frame.first<frame::HeaderSize>()).msgCode);
    Write(QStringLiteral("sent     ") + SpacedHex(frame));
}

void CLineTrace::FrameReceived(std::span<const std::uint8_t> frame) {
    m_reply.assign(frame.begin(), frame.end());
    Write(QStringLiteral("received %1 (%2)").arg(SpacedHex(frame), SinceSent()));
}

void CLineTrace::FrameRejected(std::span<const std::uint8_t> frame, LinkResult reason) {
    m_bRejected = true;
    Write(QStringLiteral("rejected %1 (%2, %3)").arg(SpacedHex(frame), ResultName(reason), SinceSent()));
}

void CLineTrace::ExchangeFailed(LinkResult result) {
    m_lastResult = result;
    // The controller may answer with the status that means a user's abort too.
    m_failure = AnsweredWithStatus(result)      ? LinkFailure::ControllerRefused
                : result == linkcode::UserAbort ? LinkFailure::Interrupted
                                                : LinkFailure::Line;
    if (m_failure == LinkFailure::ControllerRefused)
        m_refusal = RefusalText(result);
    QString cause = m_failure == LinkFailure::ControllerRefused ? QStringLiteral(", the controller's status")
                    : m_bRejected                               ? QStringLiteral(", reply rejected")
                                                                : QString();
    // A device server's port tells more than the link's code: how the connection failed ("the server
    // closed the connection") and what the server said.
    m_lineDetail.clear();
    if (!m_networkAdvice.isEmpty() && m_failure == LinkFailure::Line) {
        QStringList detail;
        if (const std::uint32_t error = LastSystemError(); error != 0)
            detail << QString::fromLocal8Bit(LinkErrorText(error));
        if (!ServerRemark().empty())
            detail << QString::fromStdString(ServerRemark());
        m_lineDetail = detail.join(QStringLiteral("; "));
        if (!m_lineDetail.isEmpty())
            cause += QStringLiteral(": ") + m_lineDetail;
    }
    Write(QStringLiteral("failed   %1%2 (%3)").arg(ResultName(result), cause, SinceSent()));
}

QString CLineTrace::LineFailureText(const QString& text) const {
    QString line = TerminalText(text);
    if (m_failure != LinkFailure::Line || m_networkAdvice.isEmpty())
        return line;
    if (!m_lineDetail.isEmpty())
        line += ' ' + Sentence(m_lineDetail);
    if (WithoutCableAdvice(TerminalText(text)) != TerminalText(text))
        line += ' ' + m_networkAdvice;
    return line;
}

void CLineTrace::PortNote(const std::string& note) {
    Write(QStringLiteral("port     ") + QString::fromStdString(note));
}

void CLineTrace::BeginRequest() {
    m_failure = LinkFailure::None;
    m_lineDetail.clear();
    m_openFailure.reset();
    m_refusal.reset();
    m_sentCodes.clear();
}

std::optional<QString> CLineTrace::TakeRefusal() {
    return std::exchange(m_refusal, std::nullopt);
}

QString CLineTrace::FailureText() const {
    return ResultName(m_lastResult);
}

std::optional<QString> CLineTrace::TakeOpenFailure() {
    return std::exchange(m_openFailure, std::nullopt);
}

// A status the controller answered to our request. Statuses 1 and 8 say the request reached it damaged
// (checksum, length): a failure on the line, which a repeat may get past.
bool CLineTrace::AnsweredWithStatus(LinkResult result) const {
    // The link accepts only the reply to its own request.
    if (m_reply.size() < frame::HeaderSize)
        return false;
    const std::uint8_t status = DecodeHeader(std::span(m_reply).first<frame::HeaderSize>()).control;
    return status != frame::StatusOk && status == result && result != linkcode::Checksum &&
           result != linkcode::MessageLength;
}

void CLineTrace::Write(const QString& event) const {
    if (!m_bPrint)
        return;
    PrintErrorLine(QStringLiteral("trace %1 ms  %2")
                       .arg(MillisecondsBetween(m_start, Clock::now()), 10, 'f', 3)
                       .arg(event));
}

QString CLineTrace::SinceSent() const {
    return QStringLiteral("%1 ms after sending").arg(MillisecondsBetween(m_sent, Clock::now()), 0, 'f', 3);
}
