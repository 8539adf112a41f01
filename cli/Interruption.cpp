#include "cli/Interruption.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void NoteInterruption(int signal) {
    interrupted = true;
    std::signal(signal, SIG_DFL);
}

} // namespace

void CatchInterruptions() {
    std::signal(SIGINT, NoteInterruption);
    std::signal(SIGTERM, NoteInterruption);
}

bool Interrupted() {
    return interrupted;
}
