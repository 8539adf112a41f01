#pragma once

#include "seriallink/LinkTrace.h"

#include <QString>

#include <chrono>

// --trace: one line per open, frame and failed exchange on standard error, each with the time since
// the trace began and, for a reply or a failure, the time since the request left.
class CLineTrace : public CLinkTrace {
public:
    CLineTrace();

    void PortOpened(const std::string& device, LinkResult result) override;
    void FrameSent(std::span<const std::uint8_t> frame) override;
    void FrameReceived(std::span<const std::uint8_t> frame) override;
    void ExchangeFailed(LinkResult result) override;

private:
    using Clock = std::chrono::steady_clock;

    void Write(const QString& event) const;
    QString SinceSent() const;

    Clock::time_point m_start;
    Clock::time_point m_sent;
};
