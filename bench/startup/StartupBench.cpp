// Whole-process start-up: from spawning an executable to its first top-level window being mapped and
// painted, plus the process's peak resident memory at that moment. Needs DISPLAY (bench/startup.sh
// provides a private Xvfb).
// Usage: bench_startup [benchmark flags] <empty-dialog-exe> <same-controls-exe> <utility-exe>
#include <benchmark/benchmark.h>

#include <xcb/damage.h>
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

constexpr int kPaintTimeoutMs = 20000;
constexpr int kLaunches = 30;

struct XConnection {
    XConnection() : connection(xcb_connect(nullptr, nullptr)) {}
    ~XConnection() { xcb_disconnect(connection); }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
    bool Ok() const { return xcb_connection_has_error(connection) == 0; }
    xcb_connection_t* connection;
};

// Asks for the root window's child map notifications, where a top-level window being shown arrives,
// and for every drawing on the root window or inside it, where the shown window's first paint arrives.
// Returns the damage extension's first event code, or 0 when the server lacks the extension.
std::uint8_t WatchTopLevelMapsAndPaints(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection, &xcb_damage_id);
    if (!damage || !damage->present)
        return 0;
    std::free(xcb_damage_query_version_reply(
        connection, xcb_damage_query_version(connection, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_damage_create(connection, xcb_generate_id(connection), screen->root,
                      XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    xcb_flush(connection);
    return damage->first_event;
}

// Drops what earlier launches left queued, such as the root being redrawn after a window closed.
void DropPendingEvents(xcb_connection_t* connection) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
        std::free(event);
}

// Waits until a non-override-redirect window has been mapped and then drawn into: a window counts as
// shown once its contents are on screen, not when its frame is mapped, since a window with text does
// most of its font work at its first paint. The only client drawing on this private server is the
// launched program, so the first damage after the map is its first paint. False on time-out or a
// broken connection.
bool WaitForFirstPaint(xcb_connection_t* connection, std::uint8_t damageNotify) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPaintTimeoutMs);
    bool mapped = false;
    while (true) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
            const std::uint8_t type = event->response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY &&
                !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect)
                mapped = true;
            else if (mapped && type == damageNotify + XCB_DAMAGE_NOTIFY)
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
    const std::uint8_t damageNotify = WatchTopLevelMapsAndPaints(x.connection);
    if (damageNotify == 0) {
        state.SkipWithError("the X server has no damage extension");
        return;
    }
    long peakRssKb = 0;
    double cpuMs = 0;
    for (auto _ : state) {
        DropPendingEvents(x.connection);
        char* argv[] = {const_cast<char*>(executable.c_str()), nullptr};
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, executable.c_str(), nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start the executable");
            return;
        }
        const bool painted = WaitForFirstPaint(x.connection, damageNotify);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        kill(pid, SIGTERM);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!painted) {
            state.SkipWithError("no window was shown and painted");
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
    if (argc != 4) {
        std::fprintf(stderr,
                     "usage: %s [benchmark flags] <empty-dialog-exe> <same-controls-exe> <utility-exe>\n",
                     argv[0]);
        return 2;
    }
    // One launch per repetition: the median of many launches resists the noise of a busy machine.
    for (const auto& [name, executable] : {std::pair{"StartupToWindow/EmptyDialog", argv[1]},
                                           std::pair{"StartupToWindow/SameControls", argv[2]},
                                           std::pair{"StartupToWindow/NetConfig", argv[3]}})
        benchmark::RegisterBenchmark(name, StartupToWindow, std::string(executable))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(kLaunches)
            ->ReportAggregatesOnly(true);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
