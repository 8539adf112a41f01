#include "cli/commission/WaitLimit.h"

CWaitLimit::CWaitLimit(std::chrono::seconds limit, Clock clock)
    : m_limit(limit), m_clock(std::move(clock)), m_start(m_clock()) {}

void CWaitLimit::Check(std::atomic<bool>& stop) {
    if (m_limit.count() == 0 || m_reached || m_clock() - m_start < m_limit)
        return;
    m_reached = true;
    stop = true;
}

QString CWaitLimit::Text() const {
    const auto seconds = m_limit.count();
    if (seconds % 3600 == 0)
        return QStringLiteral("%1h").arg(seconds / 3600);
    if (seconds % 60 == 0)
        return QStringLiteral("%1m").arg(seconds / 60);
    return QStringLiteral("%1s").arg(seconds);
}
