#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>

// --wait=LIMIT: a run with one cable carried along stops once that time has passed, as an interruption
// would stop it, so that an unattended line does not wait for ever.
class CWaitLimit {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // From now on by `clock`; a limit of 0 is none.
    CWaitLimit(std::chrono::seconds limit, Clock clock);

    // Sets `stop` once the limit has passed.
    void Check(std::atomic<bool>& stop);
    bool Reached() const { return m_reached; }
    // "90s", "10m", "2h"
    QString Text() const;

private:
    std::chrono::seconds m_limit;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_start;
    bool m_reached = false;
};
