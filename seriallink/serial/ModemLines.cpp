#include "seriallink/serial/ModemLines.h"

#include <algorithm>
#include <atomic>

namespace {

// Set once at start-up and read by the opens of every thread.
std::atomic<std::chrono::milliseconds::rep> settleMs{DefaultModemLineSettle.count()};

} // namespace

std::chrono::milliseconds ModemLineSettle() {
    return std::chrono::milliseconds(settleMs.load());
}

void SetModemLineSettle(std::chrono::milliseconds settle) {
    settleMs = std::clamp(settle, std::chrono::milliseconds::zero(), LongestModemLineSettle).count();
}
