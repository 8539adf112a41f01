#include "cli/Interruption.h"

#include "seriallink/channel/LinkInterruption.h"

#include <algorithm>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace {

std::atomic<bool> stopFlag{false};
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    // The second one goes on to the default handler, which ends the process.
    if (interrupted.exchange(true))
        return FALSE;
    stopFlag = true;
    InterruptLinks();
    return TRUE;
}
#else
extern "C" void NoteInterruption(int) {
    interrupted = true;
    stopFlag = true;
    InterruptLinks();
}
#endif

} // namespace

void CatchInterruptions() {
#ifdef _WIN32
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    // Reset to the default on delivery, so that a second signal ends the process.
    struct sigaction action {};
    action.sa_handler = NoteInterruption;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
#endif
}

std::atomic<bool>& StopFlag() {
    return stopFlag;
}

bool Interrupted() {
    return interrupted.load();
}

void PauseUnlessStopped(std::chrono::milliseconds time, const std::atomic<bool>* stop) {
    constexpr std::chrono::milliseconds step{20};
    for (auto left = time; left.count() > 0 && !(stop && stop->load()); left -= step)
        std::this_thread::sleep_for(std::min(left, step));
}
