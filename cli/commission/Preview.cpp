#include "cli/commission/Preview.h"

#include "cli/CommandLine.h"
#include "cli/Interruption.h"
#include "cli/Output.h"
#include "cli/commission/HeldValues.h"
#include "cli/commission/Plan.h"
#include "cli/commission/PortReader.h"
#include "cli/commission/RowChanges.h"
#include "cli/commission/RowDecision.h"

#include <QJsonArray>

#include <algorithm>
#include <map>
#include <mutex>

namespace {

// A worker's port for --check. Without --wait or --ask every row of a port reaches one controller, each
// after the rows before it have written: the controller is read once, and each row is worked out over
// what the rows before it would leave, as the run would find it.
class CPreviewPortWork : public CPortWork {
public:
    CPreviewPortWork(const QString& port, const Invocation& invocation, const std::atomic<bool>& stop)
        : m_port(port), m_reader(port, invocation, stop) {}

    // Only the cable flow polls, and --check goes without it.
    bool Answers() override { return true; }
    PortRead Read(const PlanRow& row) override;
    RowRecord Commission(const PlanRow& row) override;

private:
    void Settle(RowRecord& record, RowOutcome outcome, int status, const QString& message = QString()) const;

    QString m_port;
    CPortReader m_reader;
    std::optional<Backup> m_held; // what the controller holds once the rows so far are written
};

void CPreviewPortWork::Settle(RowRecord& record, RowOutcome outcome, int status, const QString& message) const {
    record.outcome = outcome;
    record.exitStatus = status;
    record.message = (m_reader.Messages() + '\n' + message).trimmed();
}

PortRead CPreviewPortWork::Read(const PlanRow& row) {
    m_reader.ClearMessages();
    PortRead read{std::nullopt, StartedRecord(row, m_port, m_reader.Device())};
    Backup held;
    if (const ExitStatus status = m_reader.Read(held); status != ExitSuccess) {
        Settle(read.record, status == ExitRefused ? RowOutcome::Refused : RowOutcome::Failed, status);
        return read;
    }
    read.record.statusId = HexString(held.statusId);
    read.held = m_held = held;
    return read;
}

RowRecord CPreviewPortWork::Commission(const PlanRow& row) {
    if (!m_held)
        if (PortRead read = Read(row); !read.held)
            return read.record;
    RowRecord record = StartedRecord(row, m_port, m_reader.Device());
    record.statusId = HexString(m_held->statusId);
    // --check never carries a cable: no controller is taken for one done.
    const RowChanges changes = DecideRow(m_reader.LinkRun(), row, *m_held, nullptr);
    if (changes.refusal) {
        Settle(record, changes.refusal->outcome, changes.refusal->exitStatus, changes.refusal->message);
        return record;
    }
    record.changed = changes.fields;
    m_held = AfterChanges(*m_held, changes.blocks);
    Settle(record, changes.blocks.empty() ? RowOutcome::Unchanged : RowOutcome::Commissioned, ExitSuccess);
    return record;
}

// Keeps the records; the preview tells them once every port is read.
class CPreviewEvents : public CRunEvents {
public:
    void Waiting(const std::vector<const PlanRow*>& /*rows*/, const QString& /*port*/,
                 bool /*toLeave*/) override {}
    void Started(const PlanRow& /*row*/, const QString& /*port*/) override {}
    void Finished(const RowRecord& record) override {
        const std::lock_guard lock(m_mutex);
        m_records.push_back(record);
    }
    AskAnswer Ask(const PlanRow& /*row*/, const QString& /*port*/) override { return AskAnswer::Go; }
    void NotTheRows(const RowRecord& /*record*/) override {} // --check runs without --wait
    void NoRowsController(const QString& /*port*/, const QString& /*held*/) override {}

    std::vector<RowRecord> Take() {
        const std::lock_guard lock(m_mutex);
        return std::move(m_records);
    }

private:
    std::mutex m_mutex;
    std::vector<RowRecord> m_records;
};

QString PreviewOutcomeText(RowOutcome outcome) {
    switch (outcome) {
    case RowOutcome::Commissioned:
        return QStringLiteral("would change");
    case RowOutcome::Unchanged:
        return QStringLiteral("already done");
    case RowOutcome::Refused:
        return QStringLiteral("would be refused");
    case RowOutcome::Failed:
        return QStringLiteral("would fail");
    case RowOutcome::Skipped:
        break;
    }
    return QStringLiteral("skipped");
}

// "press-1 on COM1 (line 2): would change", then "  ip: 192.168.1.1 -> 10.0.0.5" per field.
QString PreviewLines(const RowRecord& record) {
    QString text = QStringLiteral("%1 on %2 (line %3): %4")
                       .arg(record.name, record.port)
                       .arg(record.line)
                       .arg(PreviewOutcomeText(record.outcome));
    if (record.exitStatus != ExitSuccess)
        text += QStringLiteral(" (exit status %1)").arg(record.exitStatus);
    if (!record.message.isEmpty())
        text += QStringLiteral(": ") + record.message;
    for (const FieldChange& change : record.changed)
        text += QStringLiteral("\n  %1: %2 -> %3").arg(change.field, change.held, change.now);
    return text;
}

// The run's record of the row without what only a run has, and each change apart.
QJsonObject PreviewJson(const RowRecord& record) {
    QJsonObject json = RecordJson(record);
    for (const char* runOnly : {"changed", "duration", "finished"})
        json.remove(QLatin1String(runOnly));
    QJsonArray changes;
    for (const FieldChange& change : record.changed)
        changes.append(QJsonObject{{"field", change.field}, {"held", change.held}, {"planned", change.now}});
    json.insert("changes", changes);
    return json;
}

// Prints each row and a summary, or one JSON document; returns the worst row's exit status.
ExitStatus TellPreview(const Invocation& invocation, const std::vector<RowRecord>& records, std::size_t planned) {
    ExitStatus status = ExitSuccess;
    std::map<RowOutcome, int> counts;
    QJsonArray rows;
    for (const RowRecord& record : records) {
        status = WorseOf(status, static_cast<ExitStatus>(record.exitStatus));
        ++counts[record.outcome];
        if (invocation.json)
            rows.append(PreviewJson(record));
        else
            PrintLine(PreviewLines(record));
    }
    if (Interrupted())
        status = ExitInterrupted;
    QStringList summary;
    QJsonObject countJson;
    for (const auto& [outcome, count] : counts) {
        summary << QStringLiteral("%1 %2").arg(count).arg(PreviewOutcomeText(outcome));
        countJson.insert(OutcomeName(outcome), count);
    }
    if (records.size() < planned)
        summary << QStringLiteral("%1 not read (interrupted)").arg(planned - records.size());
    if (invocation.json)
        PrintJson(QJsonObject{{"plan", invocation.arguments.first()},
                              {"check", true},
                              {"rows", rows},
                              {"counts", countJson},
                              {"exitStatus", status}});
    else
        PrintLine(QStringLiteral("%1 %2 checked: %3; nothing was written.")
                      .arg(planned)
                      .arg(planned == 1 ? QStringLiteral("row") : QStringLiteral("rows"), summary.join(", ")));
    return status;
}

} // namespace

int PreviewCommission(const Invocation& invocation, const std::vector<PortRows>& groups,
                      std::vector<RowRecord> skipped, std::size_t planned, const LineRefusal& lineRefusal) {
    std::atomic<bool>& stop = StopFlag();
    CPreviewEvents events;
    const ScheduleSeams seams{
        [&](const QString& port) { return std::make_unique<CPreviewPortWork>(port, invocation, stop); },
        [](std::chrono::milliseconds) {}, nullptr, lineRefusal};
    RunSchedule(groups, {invocation.jobs, false, false}, seams, events, stop);

    std::vector<RowRecord> records = std::move(skipped);
    for (RowRecord& record : events.Take())
        records.push_back(std::move(record));
    std::stable_sort(records.begin(), records.end(),
                     [](const RowRecord& a, const RowRecord& b) { return a.line < b.line; });
    return TellPreview(invocation, records, planned);
}
