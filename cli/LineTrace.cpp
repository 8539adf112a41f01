#include "cli/LineTrace.h"

#include "cli/Output.h"

namespace {

double MillisecondsBetween(std::chrono::steady_clock::time_point from,
                           std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

CLineTrace::CLineTrace() : m_start(Clock::now()), m_sent(m_start) {}

void CLineTrace::PortOpened(const std::string& device, LinkResult result) {
    Write(QStringLiteral("open %1: %2")
              .arg(QString::fromStdString(device), result == linkcode::Success
                                                       ? QStringLiteral("ok")
                                                       : QStringLiteral("link result %1").arg(result)));
}

void CLineTrace::FrameSent(std::span<const std::uint8_t> frame) {
    m_sent = Clock::now();
    Write(QStringLiteral("sent     ") + HexText(frame, true));
}

void CLineTrace::FrameReceived(std::span<const std::uint8_t> frame) {
    Write(QStringLiteral("received %1 (%2)").arg(HexText(frame, true), SinceSent()));
}

void CLineTrace::ExchangeFailed(LinkResult result) {
    Write(QStringLiteral("failed   link result %1 (%2)").arg(result).arg(SinceSent()));
}

void CLineTrace::Write(const QString& event) const {
    PrintErrorLine(QStringLiteral("trace %1 ms  %2")
                       .arg(MillisecondsBetween(m_start, Clock::now()), 10, 'f', 3)
                       .arg(event));
}

QString CLineTrace::SinceSent() const {
    return QStringLiteral("%1 ms after sending").arg(MillisecondsBetween(m_sent, Clock::now()), 0, 'f', 3);
}
