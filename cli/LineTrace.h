#pragma once

#include "seriallink/link/LinkTrace.h"

#include <QString>

#include <chrono>
#include <optional>
#include <set>
#include <vector>

// How the last request that failed came to fail.
enum class LinkFailure {
    None,
    Open,              // the port could not be opened
    Line,              // the exchange failed on the line: no reply, a damaged one, the device lost
    ControllerRefused, // the controller answered with a status: it did not act on the request
    Interrupted,       // an interruption cut the open or the exchange short
};

// Watches every exchange of the link: what failed and why, for exit statuses, retries and port errors.
// With `print`, it is --trace too: one line per open, frame, failed exchange and port note on standard error,
// each with the time since the trace began and, for a reply or a failure, the time since the request left.
class CLineTrace : public CLinkTrace {
public:
    explicit CLineTrace(bool print);

    void PortOpened(const std::string& device, LinkResult result) override;
    void FrameSent(std::span<const std::uint8_t> frame) override;
    void FrameReceived(std::span<const std::uint8_t> frame) override;
    void FrameRejected(std::span<const std::uint8_t> frame, LinkResult reason) override;
    void ExchangeFailed(LinkResult result) override;
    void PortNote(const std::string& note) override;

    // Forgets earlier failures: a request is about to start.
    void BeginRequest();
    LinkFailure Failure() const { return m_failure; }
    // Whether a request of `msgCode` has left the port since the request began: the controller may have
    // acted on it, whatever became of its reply.
    bool Sent(std::uint8_t msgCode) const { return m_sentCodes.contains(msgCode); }
    // The last failed exchange's result code and the first sentence of the utility's text for it.
    QString FailureText() const;
    // The link's text for the last failure on the line as the terminal shows it: on a device server's
    // port with how the connection failed and what the server said, and, where the text advises on the
    // cable, what to check on a network.
    QString LineFailureText(const QString& text) const;
    // "cannot open DEVICE: the system's reason" for the last failed open, once.
    std::optional<QString> TakeOpenFailure();
    // "The controller refused the request with status 22: its meaning." for the last refusal, once.
    std::optional<QString> TakeRefusal();

private:
    using Clock = std::chrono::steady_clock;

    bool AnsweredWithStatus(LinkResult result) const;
    void Write(const QString& event) const;
    QString SinceSent() const;

    bool m_bPrint;
    Clock::time_point m_start;
    Clock::time_point m_sent;
    std::vector<std::uint8_t> m_reply; // of the current exchange; empty until one is accepted
    bool m_bRejected = false;          // the current exchange passed over a frame
    LinkFailure m_failure = LinkFailure::None;
    LinkResult m_lastResult = linkcode::Success;
    std::optional<QString> m_openFailure;
    QString m_networkAdvice; // for the port opened last, empty for a local one
    QString m_lineDetail;    // of the last failure on a device server's port
    std::optional<QString> m_refusal;
    std::set<std::uint8_t> m_sentCodes; // since the request began
};
