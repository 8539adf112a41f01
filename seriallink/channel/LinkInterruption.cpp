#include "seriallink/channel/LinkInterruption.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

} // namespace

void InterruptLinks() {
    interrupted.store(true);
}

bool LinksInterrupted() {
    return interrupted.load();
}

void ResumeLinks() {
    interrupted.store(false);
}

int SliceMs(int timeoutMs) {
    return std::min(timeoutMs, int(InterruptionSlice.count()));
}

bool SleepUnlessInterrupted(std::chrono::milliseconds time) {
    for (auto left = time; !LinksInterrupted(); left -= InterruptionSlice) {
        if (left <= std::chrono::milliseconds::zero())
            return true;
        std::this_thread::sleep_for(std::min(left, InterruptionSlice));
    }
    return false;
}
