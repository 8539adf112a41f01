// Whole-process start-up: from spawning an executable to the X server mapping its first top-level
// window, plus the process's peak resident memory at that moment. Needs DISPLAY (bench/startup.sh
// provides a private Xvfb). Usage: bench_startup [benchmark flags] <baseline-exe> <utility-exe>
#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <utility>

extern char** environ;

namespace {

constexpr int kMapTimeoutMs = 20000;
constexpr int kLaunches = 30;

struct XConnection {
    XConnection() : connection(xcb_connect(nullptr, nullptr)) {}
    ~XConnection() { xcb_disconnect(connection); }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
    bool Ok() const { return xcb_connection_has_error(connection) == 0; }
    xcb_connection_t* connection;
};

// Asks for the root window's child map notifications; a top-level window being shown arrives as one.
void WatchTopLevelMaps(xcb_connection_t* connection) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

// Waits for a non-override-redirect window to be mapped; false on time-out or a broken connection.
bool WaitForTopLevelMap(xcb_connection_t* connection) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMapTimeoutMs);
    while (true) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect)
                return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(connection))
            return false;
        pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

double Milliseconds(const timeval& time) {
    return time.tv_sec * 1e3 + time.tv_usec / 1e3;
}

void StartupToWindow(benchmark::State& state, const std::string& executable) {
    XConnection x;
    if (!x.Ok()) {
        state.SkipWithError("cannot connect to the X server named by DISPLAY");
        return;
    }
    WatchTopLevelMaps(x.connection);
    long peakRssKb = 0;
    double cpuMs = 0;
    for (auto _ : state) {
        char* argv[] = {const_cast<char*>(executable.c_str()), nullptr};
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, executable.c_str(), nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start the executable");
            return;
        }
        const bool mapped = WaitForTopLevelMap(x.connection);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        kill(pid, SIGTERM);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!mapped) {
            state.SkipWithError("no window was shown");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        peakRssKb = std::max(peakRssKb, usage.ru_maxrss);
        cpuMs += Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime);
    }
    state.counters["max_rss_kb"] = static_cast<double>(peakRssKb);
    // The process's own processor time up to the window, which a busy machine inflates far less.
    state.counters["cpu_ms"] = benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [benchmark flags] <baseline-exe> <utility-exe>\n", argv[0]);
        return 2;
    }
    const std::string baseline = argv[1];
    const std::string utility = argv[2];
    // One launch per repetition: the median of many launches resists the noise of a busy machine.
    for (const auto& [name, executable] : {std::pair{"StartupToWindow/EmptyDialog", baseline},
                                           std::pair{"StartupToWindow/NetConfig", utility}})
        benchmark::RegisterBenchmark(name, StartupToWindow, executable)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(kLaunches)
            ->ReportAggregatesOnly(true);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
