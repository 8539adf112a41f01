#pragma once

#include "cli/BackupFile.h"
#include "cli/commission/CommissionReport.h"
#include "cli/commission/LineAddresses.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct PlanRow;

// What reading a port's controller found, before its row writes.
struct PortRead {
    std::optional<Backup> held; // nothing when the controller could not be read
    RowRecord record;           // the row's record so far; when nothing was read, the row's end
};

// Which of the rows waiting on a port the controller that came is.
struct ArrivalMatch {
    std::optional<std::size_t> row; // among the rows waiting; none when it is no waiting row's controller
    QString held;                   // what it holds of the fields the rows name it by
};

// What a worker does on its port. Each worker owns its own: nothing of a link is shared between them.
// It runs on the worker's thread and touches no thread_local that has a destructor, Qt's included
// (QRegularExpression keeps its JIT stack in one): with MinGW's emulated thread-local storage such a
// destructor runs after the thread's storage is freed, and one that faulted there left a lock of the
// thread library held, so that the Windows companion never exited.
class CPortWork {
public:
    virtual ~CPortWork();
    // Whether a controller answers the status id on the port now.
    virtual bool Answers() = 0;
    // On ports of their own: opens the port and reads the controller `row` is for, and keeps the port
    // open for the rows until the work ends; the next Commission starts from what was read.
    virtual PortRead Read(const PlanRow& row) = 0;
    // Every step of the row, and what came of it.
    virtual RowRecord Commission(const PlanRow& row) = 0;
    // With --wait, which of `waiting` (in file order) the controller that answers is. The first, unless
    // the rows name their controllers by what they hold.
    virtual ArrivalMatch Arrived(const std::vector<const PlanRow*>& waiting);
};

enum class AskAnswer { Go, Skip, Quit };

// Where the workers tell what happens; called from their threads.
class CRunEvents {
public:
    virtual ~CRunEvents();
    // With --wait: for the controller of one of `rows` to answer (a controller is matched to the row whose
    // held- values it holds), or, with `toLeave`, for the controller of the one row given to stop.
    virtual void Waiting(const std::vector<const PlanRow*>& rows, const QString& port, bool toLeave) = 0;
    virtual void Started(const PlanRow& row, const QString& port) = 0;
    virtual void Finished(const RowRecord& record) = 0;
    // With --wait, the controller on the row's port holds what a finished row wrote: the row waits for it
    // to leave and for the next one. `record` says why.
    virtual void NotTheRows(const RowRecord& record) = 0;
    // With --wait, the controller on `port` holds what no waiting row names (`held`): it is left alone,
    // and the rows wait for it to leave and for the next one.
    virtual void NoRowsController(const QString& port, const QString& held) = 0;
    // Before a row with --ask: whether to go on, skip the row or start no other. Never two at once.
    virtual AskAnswer Ask(const PlanRow& row, const QString& port) = 0;
};

struct PortRows {
    QString port; // as the plan names it first
    std::vector<const PlanRow*> rows; // in file order
};

struct ScheduleOptions {
    int jobs = 0; // ports worked at once; 0 for all
    bool wait = false;
    bool ask = false;
    std::chrono::milliseconds pollInterval{300};
};

// Why no row of a line on ports of their own may write, or nothing.
using LineRefusal = std::function<std::optional<QString>(const std::vector<HeldRow>&)>;

struct ScheduleSeams {
    std::function<std::unique_ptr<CPortWork>(const QString& port)> makeWork;
    // Sleeps between polls of a port; tests count instead.
    std::function<void(std::chrono::milliseconds)> pause;
    // Called on the caller's thread about once a second while the workers run.
    std::function<void()> tick;
    // On ports of their own, once every port is read: why no row of the line may write, or nothing.
    LineRefusal lineRefusal;
};

// Works each group of rows on a thread of its own, at most `jobs` groups at once, rows of a group in
// their order (with --wait in the order their controllers come). Without --wait and --ask every port's controller is read, up to `jobs` at a time, before
// any row writes, and a line refused whole writes nothing; each port stays open from its read to the end
// of its rows, so that what was read is what the rows write over (`jobs` caps the ports worked at once,
// not those held open). Once `stop` is set no row and no request starts. With --ask the questions come one at a
// time; after a Quit answer no row starts, and the rows under way end as they would. Returns when every
// worker has ended.
void RunSchedule(const std::vector<PortRows>& groups, const ScheduleOptions& options, const ScheduleSeams& seams,
                 CRunEvents& events, std::atomic<bool>& stop);
