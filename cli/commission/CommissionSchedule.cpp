#include "cli/commission/CommissionSchedule.h"

#include "cli/ExitStatus.h"
#include "cli/commission/Plan.h"

#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

CPortWork::~CPortWork() = default;

ArrivalMatch CPortWork::Arrived(const std::vector<const PlanRow*>& /*waiting*/) {
    return {0, {}};
}

CRunEvents::~CRunEvents() = default;

namespace {

struct Shared {
    Shared(const std::vector<PortRows>& g, const ScheduleOptions& o, const ScheduleSeams& s, CRunEvents& e,
           std::atomic<bool>& stopFlag)
        : groups(g), options(o), seams(s), events(e), stop(stopFlag) {}

    const std::vector<PortRows>& groups;
    const ScheduleOptions& options;
    const ScheduleSeams& seams;
    CRunEvents& events;
    std::atomic<bool>& stop;
    std::atomic<bool> quit{false}; // a Quit answer: no new row starts, the rows under way end as they would
    std::mutex askMutex;           // one question at a time, each answered for its own row
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable ended;
    std::size_t running = 0;
    std::size_t workers = 0;

    // Ports of their own are all read before any row writes.
    std::vector<PortRead> reads;                   // by group
    std::vector<std::unique_ptr<CPortWork>> works; // by group, open from its read on
    std::atomic<std::size_t> nextRead{0};
    std::size_t readers = 0; // workers through their reads
    std::condition_variable allRead;
    std::optional<QString> lineRefusal;
};

// Polls the port until a controller answers (or, with `present` false, until none does). False when
// the run was stopped first.
bool AwaitController(Shared& shared, CPortWork& work, bool present) {
    while (!shared.stop.load()) {
        if (work.Answers() == present)
            return true;
        shared.seams.pause(shared.options.pollInterval);
    }
    return false;
}

bool StartsNoRow(const Shared& shared) {
    return shared.stop.load() || shared.quit.load();
}

// Nothing when the run ended before the question could be asked.
std::optional<AskAnswer> AskFor(Shared& shared, const PlanRow& row, const QString& port) {
    const std::lock_guard lock(shared.askMutex);
    if (StartsNoRow(shared))
        return std::nullopt;
    const AskAnswer answer = shared.events.Ask(row, port);
    if (answer == AskAnswer::Quit)
        shared.quit = true;
    return answer;
}

bool OwnPorts(const ScheduleOptions& options) {
    return !options.wait && !options.ask;
}

void Refuse(RowRecord& record, const QString& message) {
    record.outcome = RowOutcome::Refused;
    record.exitStatus = ExitRefused;
    record.message = message;
}

void ReadGroup(Shared& shared, std::size_t index) {
    const PortRows& group = shared.groups[index];
    std::unique_ptr<CPortWork> work = shared.seams.makeWork(group.port);
    shared.events.Started(*group.rows.front(), group.port); // the port is held from now on
    PortRead read = work->Read(*group.rows.front());
    if (!read.held)
        shared.events.Finished(read.record);
    shared.reads[index] = std::move(read);
    shared.works[index] = std::move(work);
}

std::vector<HeldRow> HeldRows(const Shared& shared) {
    std::vector<HeldRow> rows;
    for (std::size_t i = 0; i < shared.groups.size(); ++i)
        for (const PlanRow* row : shared.groups[i].rows) {
            const std::optional<Backup>& held = shared.reads[i].held;
            rows.push_back({row, row == shared.groups[i].rows.front() && held ? &*held : nullptr});
        }
    return rows;
}

// Reads ports while any is left, then waits for the other workers to end their reads; the last one
// decides whether the line may be written.
void ReadPorts(Shared& shared) {
    for (std::size_t index = shared.nextRead++; index < shared.groups.size() && !shared.stop.load();
         index = shared.nextRead++)
        ReadGroup(shared, index);
    std::unique_lock lock(shared.mutex);
    if (++shared.readers == shared.workers) {
        if (shared.seams.lineRefusal && !shared.stop.load())
            shared.lineRefusal = shared.seams.lineRefusal(HeldRows(shared));
        shared.allRead.notify_all();
    }
    shared.allRead.wait(lock, [&] { return shared.readers == shared.workers; });
}

// The work that read the port, to write it; nothing when the row is not to be written (its record
// is told then).
std::unique_ptr<CPortWork> WorkAfterRead(Shared& shared, std::size_t index) {
    std::unique_ptr<CPortWork> work = std::move(shared.works[index]);
    const PortRead& read = shared.reads[index];
    if (!read.held) // ended by its read, or never read as the run stopped
        return nullptr;
    if (shared.lineRefusal) {
        RowRecord refused = read.record;
        Refuse(refused, *shared.lineRefusal);
        shared.events.Finished(refused);
        return nullptr;
    }
    return work;
}

// The rows whose controller the next to come may be: every row named by its held- values, and the first
// of those without them, which takes a controller in plan order.
std::vector<const PlanRow*> Awaited(const std::vector<const PlanRow*>& waiting) {
    std::vector<const PlanRow*> rows;
    bool unnamedTaken = false;
    for (const PlanRow* row : waiting)
        if (!row->heldValues.empty() || !std::exchange(unnamedTaken, true))
            rows.push_back(row);
    return rows;
}

// With --wait: each controller that comes is matched to a waiting row, commissioned, and waited for to
// leave; one of no waiting row is left alone.
void WorkCarriedGroup(Shared& shared, CPortWork& work, const PortRows& group) {
    std::vector<const PlanRow*> waiting = group.rows;
    while (!waiting.empty() && !StartsNoRow(shared)) {
        shared.events.Waiting(Awaited(waiting), group.port, false);
        if (!AwaitController(shared, work, true))
            return;
        const ArrivalMatch match = work.Arrived(waiting);
        if (shared.stop.load())
            return;
        if (!match.row) {
            shared.events.NoRowsController(group.port, match.held);
        } else {
            const PlanRow& row = *waiting[*match.row];
            shared.events.Started(row, group.port);
            const RowRecord record = work.Commission(row);
            // A controller already done was put back: the row's own is still to come.
            if (record.controllerDone && !shared.stop.load()) {
                shared.events.NotTheRows(record);
            } else {
                shared.events.Finished(record);
                waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(*match.row));
                if (waiting.empty() || shared.stop.load())
                    return;
                // The cable moves on: the next row must not reach the controller just done.
                shared.events.Waiting({&row}, group.port, true);
            }
        }
        if (!AwaitController(shared, work, false))
            return;
    }
}

void WorkGroup(Shared& shared, std::size_t index) {
    const PortRows& group = shared.groups[index];
    const std::unique_ptr<CPortWork> work =
        OwnPorts(shared.options) ? WorkAfterRead(shared, index) : shared.seams.makeWork(group.port);
    if (!work)
        return;
    if (shared.options.wait && !shared.options.ask)
        return WorkCarriedGroup(shared, *work, group);
    for (std::size_t i = 0; i < group.rows.size() && !StartsNoRow(shared); ++i) {
        const PlanRow& row = *group.rows[i];
        if (shared.options.ask) {
            const std::optional<AskAnswer> answer = AskFor(shared, row, group.port);
            if (!answer || answer == AskAnswer::Quit)
                break;
            if (answer == AskAnswer::Skip) {
                RowRecord skipped = SkippedRecord(row, group.port, QStringLiteral("skipped when asked"));
                skipped.exitStatus = ExitIncomplete;
                shared.events.Finished(skipped);
                continue;
            }
        }
        shared.events.Started(row, group.port);
        shared.events.Finished(work->Commission(row));
    }
}

void Worker(Shared& shared) {
    if (OwnPorts(shared.options))
        ReadPorts(shared);
    for (std::size_t index = shared.next++; index < shared.groups.size(); index = shared.next++)
        WorkGroup(shared, index);
    const std::lock_guard lock(shared.mutex);
    --shared.running;
    shared.ended.notify_all();
}

} // namespace

void RunSchedule(const std::vector<PortRows>& groups, const ScheduleOptions& options,
                 const ScheduleSeams& seams, CRunEvents& events, std::atomic<bool>& stop) {
    Shared shared(groups, options, seams, events, stop);
    const std::size_t workers =
        std::min(groups.size(), options.jobs > 0 ? static_cast<std::size_t>(options.jobs) : groups.size());
    shared.running = shared.workers = workers;
    shared.reads.resize(groups.size());
    shared.works.resize(groups.size());
    // Qt's own threads, as workers use Qt's types: a worker started by std::thread crashed now and then
    // on Windows as it ended, inside Qt's teardown of the data it keeps for a thread it did not start.
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t i = 0; i < workers; ++i) {
        threads.emplace_back(QThread::create([&shared] { Worker(shared); }));
        threads.back()->start();
    }
    {
        std::unique_lock lock(shared.mutex);
        while (!shared.ended.wait_for(lock, std::chrono::seconds(1), [&] { return shared.running == 0; }))
            if (seams.tick) {
                lock.unlock();
                seams.tick();
                lock.lock();
            }
    }
    for (const std::unique_ptr<QThread>& thread : threads)
        thread->wait();
}
