#include "cli/commission/CommissionRow.h"

#include "cli/AttributeText.h"
#include "cli/BackupFile.h"
#include "cli/Commands.h"
#include "cli/Operations.h"
#include "cli/Output.h"
#include "cli/commission/HeldValues.h"
#include "cli/commission/Plan.h"
#include "cli/commission/RowChanges.h"
#include "cli/commission/RowDecision.h"
#include "cli/PortChoice.h"
#include "cli/WriteValues.h"
#include "res/AttributeMessages.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// Whether the backup file at `path` holds `backup` already: a rerun leaves it, and its time, as they are.
bool HoldsBackup(const QString& path, const Backup& backup) {
    QFile file(path);
    QString error;
    const std::optional<Backup> held =
        file.open(QIODevice::ReadOnly) ? BackupFromJson(file.readAll(), error) : std::nullopt;
    return held && held->statusId == backup.statusId && held->blocks == backup.blocks;
}

} // namespace

CLinkPortWork::CLinkPortWork(const PortChoice& port, const CommissionSettings& settings, CDoneRows* carried,
                             const std::atomic<bool>& stop)
    : m_settings(settings), m_carried(carried), m_stop(stop), m_port(port.name) {
    m_app.m_pMessageSink = &m_messages;
    m_app.m_SerialComm.m_pTrace = &m_watch;
    SelectPort(m_app, port);
    m_rowInvocation.command = m_pollInvocation.command = QStringLiteral("commission");
    m_rowInvocation.retries = settings.retries;
    m_rowInvocation.force = settings.force;
}

bool CLinkPortWork::Answers() {
    // Open from the first poll until a row starts or the work ends: the lines stay up while the cable
    // is moved, and a poll that hears nothing costs no new open.
    if (!m_waitHold)
        m_waitHold.emplace(m_app, CPortHold::Silence::KeepsOpen);
    const Run poll{m_pollInvocation, m_watch, m_app, &m_stop, &m_messages};
    const bool answered = StatusIdAnswered(poll).done;
    m_messages.m_shown.clear();
    return answered;
}

ArrivalMatch CLinkPortWork::Arrived(const std::vector<const PlanRow*>& waiting) {
    if (std::all_of(waiting.begin(), waiting.end(),
                    [](const PlanRow* row) { return row->heldValues.empty(); }))
        return CPortWork::Arrived(waiting);
    const Run poll{m_pollInvocation, m_watch, m_app, &m_stop, &m_messages};
    Backup held;
    const bool read = ReadHeldBlocks(poll, held) == ExitSuccess;
    m_messages.m_shown.clear();
    if (!read)
        return {std::nullopt, QStringLiteral("nothing that could be read")};
    return MatchArrival(waiting, held);
}

void CLinkPortWork::EndRecord(RowRecord& record, std::chrono::steady_clock::time_point start) {
    if (m_stop.load() && record.outcome == RowOutcome::Failed)
        Fail(record, RowOutcome::Failed, ExitInterrupted, QStringLiteral("stopped before the row ended"));
    record.seconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() /
        1000.0;
    record.finished = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

PortRead CLinkPortWork::Read(const PlanRow& row) {
    const auto start = std::chrono::steady_clock::now();
    m_messages.m_shown.clear();
    PortRead read{std::nullopt, StartedRecord(row, m_port, PortJson(m_app).value("device").toString())};
    m_readHold.emplace(m_app);
    const Run run{m_rowInvocation, m_watch, m_app, &m_stop, &m_messages};
    if (Backup held; ReadHeld(run, held, read.record)) {
        read.held = m_read = held;
        return read;
    }
    m_readHold.reset();
    EndRecord(read.record, start);
    return read;
}

RowRecord CLinkPortWork::Commission(const PlanRow& row) {
    const auto start = std::chrono::steady_clock::now();
    if (!m_read) // what the read told belongs to the row
        m_messages.m_shown.clear();
    RowRecord record = StartedRecord(row, m_port, PortJson(m_app).value("device").toString());
    m_waitHold.reset();
    {
        const CPortHold hold(m_app);
        Steps(row, record);
    }
    m_readHold.reset();
    EndRecord(record, start);
    return record;
}

void CLinkPortWork::Fail(RowRecord& record, RowOutcome outcome, int status, const QString& message) {
    record.outcome = outcome;
    record.exitStatus = status;
    QStringList texts = m_messages.m_shown;
    if (!message.isEmpty())
        texts << message;
    record.message = texts.join('\n');
}

bool CLinkPortWork::ReadHeld(const Run& run, Backup& held, RowRecord& record) {
    const ExitStatus status = ReadController(run, held);
    if (!held.statusId.empty())
        record.statusId = HexString(held.statusId);
    if (status != ExitSuccess)
        Fail(record, RowOutcome::Failed, status);
    return status == ExitSuccess;
}

void CLinkPortWork::Steps(const PlanRow& row, RowRecord& record) {
    const Run run{m_rowInvocation, m_watch, m_app, &m_stop, &m_messages};
    Backup before;
    if (m_read)
        before = *std::exchange(m_read, std::nullopt);
    else if (!ReadHeld(run, before, record))
        return;
    record.statusId = HexString(before.statusId);
    const RowChanges changes = DecideRow(run, row, before, m_carried);
    if (changes.refusal) {
        record.controllerDone = changes.refusal->controllerDone;
        return Fail(record, changes.refusal->outcome, changes.refusal->exitStatus, changes.refusal->message);
    }
    if (const auto clash = m_settings.line ? m_settings.line->Claim(row, AfterChanges(before, changes.blocks))
                                           : std::nullopt)
        return Fail(record, RowOutcome::Refused, ExitRefused, *clash + QStringLiteral("; nothing was written."));
    // A rerun that changes nothing keeps the before-backups there are: there is nothing to undo.
    if (!changes.blocks.empty())
        if (const QString refused = SaveBackup(BackupPath(row.name, true), before); !refused.isEmpty())
            return Fail(record, RowOutcome::Failed, ExitRefused, refused + QStringLiteral("; nothing was written."));
    // A resumed row tells what changed since its controller was first backed up: an interrupted run may
    // have written it already.
    const std::optional<Backup> first = m_settings.resumed ? FirstBackup(row.name) : std::nullopt;
    const Backup& history = first && first->statusId == before.statusId ? *first : before;
    Backup verified = before;
    for (const BlockChange& change : changes.blocks) {
        const WriteResult write = WriteBlock(run, change.type, change.block);
        record.written.emplace_back(NetworkTypeName(change.type), WrittenWord(write.written));
        if (write.written == Written::Yes)
            verified = AfterChanges(verified, {change});
        if (write.status != ExitSuccess) {
            const QString unknown = ProveChanges(run, history, verified, change, record);
            return Fail(record, RowOutcome::Failed, write.status, unknown);
        }
    }
    // The verifying reads found what the controller now holds.
    record.changed = ChangedFields(history, verified);
    if (const QString after = BackupPath(row.name, false); !HoldsBackup(after, verified))
        if (const QString refused = SaveBackup(after, verified); !refused.isEmpty())
            return Fail(record, RowOutcome::Failed, ExitRefused, refused);
    record.outcome =
        changes.blocks.empty() && record.changed.empty() ? RowOutcome::Unchanged : RowOutcome::Commissioned;
    record.exitStatus = ExitSuccess;
    record.message = m_messages.m_shown.join('\n');
    if (m_carried)
        m_carried->Add(row);
}

QString CLinkPortWork::ProveChanges(const Run& run, const Backup& before, const Backup& verified,
                                    const BlockChange& failed, RowRecord& record) {
    Backup now;
    bool read = false;
    if (!Stopped(run)) {
        CCollectingSink told; // the failure is told already; a second telling adds nothing
        const CScopedSink quiet(m_app, told);
        read = ReadHeldBlocks(run, now) == ExitSuccess;
    }
    record.changed = ChangedFields(before, read ? now : verified);
    if (!read)
        return QStringLiteral("What %1 holds now is not known; changed lists only what was verified before.")
            .arg(PortDescription(m_app));
    // What the failed write left is known now.
    if (record.written.back().second == WrittenWord(Written::Unknown)) {
        const bool holds = AfterChanges(now, {failed}).blocks == now.blocks;
        record.written.back().second = WrittenWord(holds ? Written::Yes : Written::No);
        return QStringLiteral("Read again, %1 %2 the %3 block written.")
            .arg(PortDescription(m_app), holds ? QStringLiteral("holds") : QStringLiteral("does not hold"),
                 NetworkTypeName(failed.type));
    }
    return {};
}

std::optional<Backup> CLinkPortWork::FirstBackup(const QString& name) const {
    QFile file(FirstBackupPath(name));
    QString error;
    return file.open(QIODevice::ReadOnly) ? BackupFromJson(file.readAll(), error) : std::nullopt;
}

QString CLinkPortWork::FirstBackupPath(const QString& name) const {
    return QDir(m_settings.backups).filePath(name + QStringLiteral("-before.json"));
}

QString CLinkPortWork::BackupPath(const QString& name, bool before) const {
    const QDir folder(m_settings.backups);
    if (!before)
        return folder.filePath(name + QStringLiteral(".json"));
    // What a controller held before its first run is never overwritten by a later run's.
    QString path = FirstBackupPath(name);
    for (int run = 2; QFileInfo::exists(path); ++run)
        path = folder.filePath(QStringLiteral("%1-before-%2.json").arg(name).arg(run));
    return path;
}
