#include "cli/commission/CommissionRow.h"

#include "cli/AttributeText.h"
#include "cli/BackupFile.h"
#include "cli/Commands.h"
#include "cli/Operations.h"
#include "cli/Output.h"
#include "cli/commission/Plan.h"
#include "cli/commission/RowChanges.h"
#include "cli/PortChoice.h"
#include "cli/WriteValues.h"
#include "res/AttributeMessages.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <chrono>

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

CLinkPortWork::CLinkPortWork(const PortChoice& port, const CommissionSettings& settings, CDoneRows& done,
                             const std::atomic<bool>& stop)
    : m_settings(settings), m_done(done), m_stop(stop), m_port(port.name) {
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

RowRecord CLinkPortWork::Commission(const PlanRow& row) {
    const auto start = std::chrono::steady_clock::now();
    m_messages.m_shown.clear();
    RowRecord record;
    record.line = row.line;
    record.name = row.name;
    record.port = m_port;
    record.device = PortJson(m_app).value("device").toString();
    record.values = ValuesText(row);
    m_waitHold.reset();
    {
        const CPortHold hold(m_app);
        Steps(row, record);
    }
    if (m_stop.load() && record.outcome == RowOutcome::Failed)
        Fail(record, RowOutcome::Failed, ExitInterrupted, QStringLiteral("stopped before the row ended"));
    record.seconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() /
        1000.0;
    record.finished = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
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

void CLinkPortWork::Steps(const PlanRow& row, RowRecord& record) {
    const Run run{m_rowInvocation, m_watch, m_app, &m_stop, &m_messages};
    Backup before;
    if (const RequestResult asked = StatusIdAnswered(run, &before.statusId); !asked)
        return Fail(record, RowOutcome::Failed, asked.Status());
    record.statusId = HexString(before.statusId);
    if (row.statusId && *row.statusId != before.statusId)
        return Fail(record, RowOutcome::Refused, ExitRefused,
                          QStringLiteral("%1 answers status id %2, not %3 as the plan says; nothing was written.")
                              .arg(PortDescription(m_app), record.statusId, HexString(*row.statusId)));
    if (const ExitStatus status = ReadHeldBlocks(run, before); status != ExitSuccess)
        return Fail(record, RowOutcome::Failed, status);
    if (const std::optional<QString> done = m_done.Holder(row, before)) {
        record.controllerDone = true;
        return Fail(record, RowOutcome::Refused, ExitRefused,
                    QStringLiteral("%1 %2; nothing was written.").arg(PortDescription(m_app), *done));
    }

    const RowChanges changes = WorkOutChanges(run, row, before);
    if (changes.refusal)
        return Fail(record, changes.refusal->outcome, changes.refusal->exitStatus, changes.refusal->message);
    // A rerun that changes nothing keeps the before-backups there are: there is nothing to undo.
    if (!changes.blocks.empty())
        if (const QString refused = SaveBackup(BackupPath(row.name, true), before); !refused.isEmpty())
            return Fail(record, RowOutcome::Failed, ExitRefused, refused + QStringLiteral("; nothing was written."));
    Backup verified = before;
    for (const BlockChange& change : changes.blocks) {
        if (const ExitStatus status = WriteBlock(run, change.type, change.block); status != ExitSuccess) {
            const QString unknown = ProveChanges(run, before, verified, record);
            return Fail(record, RowOutcome::Failed, status, unknown);
        }
        verified = AfterChanges(verified, {change});
    }
    // The verifying reads found what the controller now holds.
    record.changed = ChangedFields(before, verified);
    if (const QString after = BackupPath(row.name, false); !HoldsBackup(after, verified))
        if (const QString refused = SaveBackup(after, verified); !refused.isEmpty())
            return Fail(record, RowOutcome::Failed, ExitRefused, refused);
    record.outcome = changes.blocks.empty() ? RowOutcome::Unchanged : RowOutcome::Commissioned;
    record.exitStatus = ExitSuccess;
    record.message = m_messages.m_shown.join('\n');
    m_done.Add(row);
}

QString CLinkPortWork::ProveChanges(const Run& run, const Backup& before, const Backup& verified,
                                    RowRecord& record) {
    Backup now;
    bool read = false;
    if (!Stopped(run)) {
        CCollectingSink told; // the failure is told already; a second telling adds nothing
        const CScopedSink quiet(m_app, told);
        read = ReadHeldBlocks(run, now) == ExitSuccess;
    }
    record.changed = ChangedFields(before, read ? now : verified);
    if (read)
        return {};
    return QStringLiteral("What %1 holds now is not known; changed lists only what was verified before.")
        .arg(PortDescription(m_app));
}

QString CLinkPortWork::BackupPath(const QString& name, bool before) const {
    const QDir folder(m_settings.backups);
    if (!before)
        return folder.filePath(name + QStringLiteral(".json"));
    // What a controller held before its first run is never overwritten by a later run's.
    QString path = folder.filePath(name + QStringLiteral("-before.json"));
    for (int run = 2; QFileInfo::exists(path); ++run)
        path = folder.filePath(QStringLiteral("%1-before-%2.json").arg(name).arg(run));
    return path;
}
