#include "cli/commission/CommissionLog.h"
#include "cli/commission/CommissionSchedule.h"
#include "cli/commission/Plan.h"
#include "cli/commission/WaitLimit.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace {

// What the workers did, in the order they did it, per port.
struct Journal {
    std::mutex mutex;
    std::condition_variable added;
    std::map<QString, std::vector<std::string>> events;
    std::vector<std::string> all; // of every port, "PORT event"
    void Add(const QString& port, const std::string& event) {
        const std::lock_guard lock(mutex);
        events[port].push_back(event);
        all.push_back(port.toStdString() + ' ' + event);
        added.notify_all();
    }
    // Until `port` has done `event` (the time limit only keeps a broken run from hanging).
    void AwaitEvent(const QString& port, const std::string& event) {
        std::unique_lock lock(mutex);
        added.wait_for(lock, std::chrono::seconds(10), [&] {
            return std::count(events[port].begin(), events[port].end(), event) > 0;
        });
    }
};

// A port whose controller answers as scripted (and as last scripted once the script runs out).
class ScriptedPort : public CPortWork {
public:
    ScriptedPort(QString port, Journal& journal, std::deque<bool> answers, std::function<void()> during = {})
        : m_port(std::move(port)), m_journal(journal), m_answers(std::move(answers)), m_during(std::move(during)) {}

    bool Answers() override {
        const bool answer = m_answers.front();
        if (m_answers.size() > 1)
            m_answers.pop_front();
        m_journal.Add(m_port, answer ? "answers" : "silent");
        return answer;
    }
    PortRead Read(const PlanRow& row) override {
        m_journal.Add(m_port, "read " + row.name.toStdString());
        PortRead read;
        read.held.emplace();
        return read;
    }
    RowRecord Commission(const PlanRow& row) override {
        m_journal.Add(m_port, "write " + row.name.toStdString());
        if (m_during)
            m_during();
        RowRecord record;
        record.name = row.name;
        record.port = m_port;
        record.controllerDone = !heldDone.empty() && heldDone.front();
        if (!heldDone.empty())
            heldDone.pop_front();
        record.outcome = record.controllerDone ? RowOutcome::Refused : RowOutcome::Commissioned;
        return record;
    }

    std::deque<bool> heldDone; // by Commission call: the controller holds what a finished row wrote

private:
    QString m_port;
    Journal& m_journal;
    std::deque<bool> m_answers;
    std::function<void()> m_during;
};

class RecordingEvents : public CRunEvents {
public:
    // `answers` by row name
    explicit RecordingEvents(Journal& journal, std::map<QString, AskAnswer> answers = {})
        : m_journal(journal), m_answers(std::move(answers)) {}
    void Waiting(const std::vector<const PlanRow*>& rows, const QString& port, bool toLeave) override {
        std::string names;
        for (const PlanRow* row : rows)
            names += (names.empty() ? "" : " or ") + row->name.toStdString();
        m_journal.Add(port, (toLeave ? "wait to leave " : "wait for ") + names);
    }
    void Started(const PlanRow&, const QString&) override {}
    void NotTheRows(const RowRecord& record) override {
        m_journal.Add(record.port, "not the controller of " + record.name.toStdString());
    }
    void NoRowsController(const QString&, const QString&) override {}
    void Finished(const RowRecord& record) override {
        m_journal.Add(record.port, OutcomeName(record.outcome).toStdString() + ' ' + record.name.toStdString());
    }
    AskAnswer Ask(const PlanRow& row, const QString& port) override {
        m_journal.Add(port, "ask " + row.name.toStdString());
        return m_answers.at(row.name);
    }

private:
    Journal& m_journal;
    std::map<QString, AskAnswer> m_answers;
};

struct Rows {
    std::vector<PlanRow> rows;
    std::vector<PortRows> groups;
    // "PORT:a,b" per group
    explicit Rows(const std::vector<std::pair<QString, QStringList>>& layout) {
        rows.reserve(32);
        for (const auto& [port, names] : layout) {
            PortRows group{port, {}};
            for (const QString& name : names) {
                rows.push_back(PlanRow{});
                rows.back().name = name;
                rows.back().port = port;
                group.rows.push_back(&rows.back());
            }
            groups.push_back(group);
        }
    }
};

TEST(CommissionSchedule, WaitWritesTheNextRowOnlyAfterTheControllerDoneWentAway) {
    Journal journal;
    const Rows plan({{"COM1", {"a", "b"}}});
    int pauses = 0;
    ScheduleSeams seams;
    seams.makeWork = [&](const QString& port) {
        // a comes on the second poll, stays for two more, goes, b comes on the second poll after.
        return std::make_unique<ScriptedPort>(port, journal,
                                              std::deque<bool>{false, true, true, true, false, false, true});
    };
    seams.pause = [&](std::chrono::milliseconds) { ++pauses; };
    RecordingEvents events(journal);
    std::atomic<bool> stop{false};
    RunSchedule(plan.groups, {0, true, false}, seams, events, stop);

    const std::vector<std::string> expected{
        "wait for a", "silent", "answers", "write a", "commissioned a", "wait to leave a", "answers",
        "answers",    "silent", "wait for b", "silent", "answers", "write b", "commissioned b"};
    EXPECT_EQ(journal.events["COM1"], expected);
    EXPECT_EQ(pauses, 4) << "one pause after each poll that did not end a wait";
}

// Rows named by held- values take whichever controller holds them: each is awaited, and the first other.
TEST(CommissionSchedule, WaitNamesEveryRowTheNextControllerMayBeFor) {
    Journal journal;
    Rows plan({{"COM1", {"a", "b", "c"}}});
    plan.rows[2].heldValues["ip"] = "10.0.0.5";
    std::atomic<bool> stop{false};
    ScheduleSeams seams;
    seams.makeWork = [&](const QString& port) {
        return std::make_unique<ScriptedPort>(port, journal, std::deque<bool>{false});
    };
    seams.pause = [&](std::chrono::milliseconds) { stop = true; };
    RecordingEvents events(journal);
    RunSchedule(plan.groups, {0, true, false}, seams, events, stop);
    EXPECT_EQ(journal.events["COM1"].front(), "wait for a or c");
}

TEST(CommissionSchedule, WaitPassesOverAControllerAlreadyDoneAndWaitsForTheNext) {
    Journal journal;
    const Rows plan({{"COM1", {"a", "b"}}});
    ScheduleSeams seams;
    seams.makeWork = [&](const QString& port) {
        // a's controller leaves and comes back; once it leaves again, b's comes.
        auto work = std::make_unique<ScriptedPort>(port, journal, std::deque<bool>{true, false, true, true, false, true});
        work->heldDone = {false, true, false};
        return work;
    };
    seams.pause = [](std::chrono::milliseconds) {};
    RecordingEvents events(journal);
    std::atomic<bool> stop{false};
    RunSchedule(plan.groups, {0, true, false}, seams, events, stop);

    const std::vector<std::string> expected{
        "wait for a", "answers", "write a", "commissioned a", "wait to leave a", "silent", "wait for b", "answers",
        "write b", "not the controller of b", "answers", "silent", "wait for b", "answers", "write b", "commissioned b"};
    EXPECT_EQ(journal.events["COM1"], expected);
}

TEST(CommissionSchedule, PortsRunAtOnceUpToJobsAndEachPortKeepsItsOrder) {
    Journal journal;
    const Rows plan({{"COM1", {"a1", "a2"}}, {"COM2", {"b1"}}, {"COM3", {"c1", "c2"}}});
    std::mutex mutex;
    std::condition_variable changed;
    int inside = 0, most = 0;
    // Each row stays until a second one runs beside it (or no row is left to start), so two at once is
    // reached for certain; with --jobs 2 three never are.
    int left = 5;
    const auto during = [&] {
        std::unique_lock lock(mutex);
        most = std::max(most, ++inside);
        --left;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return most >= 2 || left == 0; });
        --inside;
        changed.notify_all();
    };
    ScheduleSeams seams;
    seams.makeWork = [&](const QString& port) {
        return std::make_unique<ScriptedPort>(port, journal, std::deque<bool>{true}, during);
    };
    seams.pause = [](std::chrono::milliseconds) {};
    RecordingEvents events(journal);
    std::atomic<bool> stop{false};
    RunSchedule(plan.groups, {2, false, false}, seams, events, stop);

    EXPECT_EQ(most, 2);
    // Every port read before any writes, though fewer workers than ports.
    const auto firstWrite = std::find_if(journal.all.begin(), journal.all.end(),
                                         [](const std::string& event) { return event.find(" write ") != event.npos; });
    EXPECT_EQ(firstWrite - journal.all.begin(), 3);
    EXPECT_EQ(journal.events["COM1"],
              (std::vector<std::string>{"read a1", "write a1", "commissioned a1", "write a2", "commissioned a2"}));
    EXPECT_EQ(journal.events["COM2"], (std::vector<std::string>{"read b1", "write b1", "commissioned b1"}));
    EXPECT_EQ(journal.events["COM3"],
              (std::vector<std::string>{"read c1", "write c1", "commissioned c1", "write c2", "commissioned c2"}));
}

TEST(CommissionSchedule, AskSkipsAndQuitStartsNoOtherRow) {
    Journal journal;
    const Rows plan({{"COM1", {"a", "b", "c", "d"}}});
    ScheduleSeams seams;
    seams.makeWork = [&](const QString& port) {
        return std::make_unique<ScriptedPort>(port, journal, std::deque<bool>{true});
    };
    seams.pause = [](std::chrono::milliseconds) {};
    RecordingEvents events(journal, {{"a", AskAnswer::Go}, {"b", AskAnswer::Skip}, {"c", AskAnswer::Quit}});
    std::atomic<bool> stop{false};
    RunSchedule(plan.groups, {0, false, true}, seams, events, stop);

    EXPECT_EQ(journal.events["COM1"], (std::vector<std::string>{"ask a", "write a", "commissioned a", "ask b",
                                                                "skipped b", "ask c"}));
    EXPECT_FALSE(stop.load()) << "a quit is no interruption: a row under way would stop mid-write";
}

TEST(CommissionSchedule, AQuitOnOnePortLetsTheRowUnderWayOnAnotherEndAsItWould) {
    Journal journal;
    const Rows plan({{"COM1", {"a1", "a2"}}, {"COM2", {"b1"}}});
    std::atomic<bool> stop{false};
    ScheduleSeams seams;
    seams.makeWork = [&](const QString& port) {
        if (port == "COM2") // asked only once a1 is being written
            journal.AwaitEvent("COM1", "write a1");
        return std::make_unique<ScriptedPort>(port, journal, std::deque<bool>{true},
                                              [&] { journal.AwaitEvent("COM2", "ask b1"); });
    };
    seams.pause = [](std::chrono::milliseconds) {};
    RecordingEvents events(journal, {{"a1", AskAnswer::Go}, {"a2", AskAnswer::Go}, {"b1", AskAnswer::Quit}});
    RunSchedule(plan.groups, {0, false, true}, seams, events, stop);

    EXPECT_EQ(journal.events["COM1"], (std::vector<std::string>{"ask a1", "write a1", "commissioned a1"}));
    EXPECT_EQ(journal.events["COM2"], std::vector<std::string>{"ask b1"});
    EXPECT_FALSE(stop.load()) << "the stop would cut a1 off in the middle of its writes";
}

// The run's lines on standard error, as CRunLog writes them.
struct ErrorLines {
    std::vector<QString> lines;
    std::vector<std::size_t> discards; // lines shown when keys pressed ahead were dropped
    CRunLog::Setup Setup(bool terminal, std::function<std::optional<QString>()> readAnswer = {}) {
        return {nullptr, false, ',', terminal, 2, std::move(readAnswer),
                [this](const QString& line) { lines.push_back(line); }, [this] { discards.push_back(lines.size()); }};
    }
};

// Another port's row ends while the question waits: the question stays the last line, shown once.
TEST(CommissionLog, AQuestionNamesItsRowAndPortAndHoldsTheStatusLineStill) {
    ErrorLines shown;
    CRunLog* log = nullptr;
    std::size_t drawnWhileAsked = 0;
    PlanRow other;
    other.name = "press-1";
    CRunLog terminal(shown.Setup(true, [&]() -> std::optional<QString> {
        const std::size_t before = shown.lines.size();
        log->Tick();
        log->Finished(SkippedRecord(other, "COM5", "skipped"));
        drawnWhileAsked = shown.lines.size() - before;
        return QString("\n");
    }));
    log = &terminal;
    PlanRow row;
    row.name = "press-2";
    row.line = 3;
    EXPECT_EQ(terminal.Ask(row, "COM4"), AskAnswer::Go);
    EXPECT_EQ(drawnWhileAsked, 0u);
    const auto first = [&](const char* start) {
        return std::find_if(shown.lines.begin(), shown.lines.end(),
                            [&](const QString& line) { return line.startsWith(start); }) -
               shown.lines.begin();
    };
    const auto asked = first("connect press-2 (line 3) to COM4");
    EXPECT_EQ(std::count_if(shown.lines.begin(), shown.lines.end(),
                            [](const QString& line) { return line.startsWith("connect press-2"); }),
              1);
    EXPECT_LT(asked, first("press-1")) << "shown once the question is answered";
    EXPECT_EQ(shown.discards, std::vector<std::size_t>{static_cast<std::size_t>(asked)})
        << "keys pressed ahead are dropped as the question is shown";

    ErrorLines piped;
    CRunLog elsewhere(piped.Setup(false));
    elsewhere.Finished(SkippedRecord(row, "COM4", "skipped"));
    EXPECT_TRUE(piped.lines.empty()) << "the result on standard output tells each row once";
}

TEST(CommissionLog, TheWaitLimitStopsTheRunOnceItsTimeHasPassed) {
    auto now = std::chrono::steady_clock::time_point{};
    CWaitLimit limit(std::chrono::minutes(10), [&] { return now; });
    std::atomic<bool> stop{false};
    now += std::chrono::seconds(599);
    limit.Check(stop);
    EXPECT_FALSE(stop.load());
    now += std::chrono::seconds(1);
    limit.Check(stop);
    EXPECT_TRUE(stop.load() && limit.Reached());
    EXPECT_EQ(limit.Text(), "10m");
}

TEST(CommissionSchedule, AStopEndsTheRunBeforeTheNextRowAndEndsAWait) {
    Journal journal;
    const Rows plan({{"COM1", {"a", "b"}}, {"COM2", {"x"}}});
    std::atomic<bool> stop{false};
    ScheduleSeams seams;
    seams.makeWork = [&](const QString& port) {
        // COM2's controller never comes: only the stop, once COM2 waits, ends its wait.
        return port == "COM1" ? std::make_unique<ScriptedPort>(port, journal, std::deque<bool>{true},
                                                               [&] {
                                                                   journal.AwaitEvent("COM2", "silent");
                                                                   stop = true;
                                                               })
                              : std::make_unique<ScriptedPort>(port, journal, std::deque<bool>{false});
    };
    seams.pause = [](std::chrono::milliseconds) { std::this_thread::yield(); };
    RecordingEvents events(journal);
    RunSchedule(plan.groups, {0, true, false}, seams, events, stop);

    EXPECT_EQ(journal.events["COM1"], (std::vector<std::string>{"wait for a", "answers", "write a", "commissioned a"}));
    EXPECT_EQ(journal.events["COM2"].front(), "wait for x");
    EXPECT_EQ(std::count(journal.events["COM2"].begin(), journal.events["COM2"].end(), "write x"), 0);
}

} // namespace
