#include "cli/BackupCommands.h"

#include "app/NetConfigApp.h"
#include "cli/AttributeText.h"
#include "cli/BackupFile.h"
#include "cli/CommandLine.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/Operations.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "model/AddressRules.h"
#include "res/AttributeMessages.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

ExitStatus BackupTo(const Run& run, const QString& path) {
    Backup backup;
    if (const RequestResult asked = StatusIdAnswered(run, &backup.statusId); !asked)
        return asked.Status();
    if (const ExitStatus status = ReadHeldBlocks(run, backup); status != ExitSuccess)
        return status;
    if (path == "-") {
        PrintJson(QJsonDocument::fromJson(BackupToJson(backup)).object());
        return ExitSuccess;
    }
    if (const QString refused = SaveBackup(path, backup); !refused.isEmpty())
        return Refuse(run.app, refused);
    if (run.invocation.json)
        PrintJson(WithPort(run.app, {{"file", path}, {"saved", true}}));
    else
        PrintLine(QStringLiteral("Saved the attributes of %1 to %2.").arg(PortDescription(run.app), path));
    return ExitSuccess;
}

namespace {

struct TypeOutcome {
    ExitStatus status;
    QString text;
    QJsonObject changes; // field by field, held -> restored
    std::optional<Written> written = std::nullopt; // once a write was tried
};

// A failed write's outcome, as the type's line tells it.
QString FailedWriteText(const WriteResult& result) {
    QString text =
        result.status == ExitInterrupted ? QStringLiteral("interrupted") : QStringLiteral("failed");
    if (result.written == Written::Yes)
        text += QStringLiteral(": written, not verified");
    else if (result.written == Written::Unknown)
        text += QStringLiteral(": whether it was written is not known");
    return text;
}

// Gives the controller a type's block from a backup, or clears the type where the backup has none and
// the controller holds one, saying so first. What the controller holds is read first, so that what
// changes is told field by field: a backup restored onto the wrong controller shows.
TypeOutcome RestoreType(const Run& run, NetworkType type, const std::optional<ByteString>& saved) {
    CNetAttributes held(type);
    ByteString heldBlock;
    CCollectingSink readMessages;
    const HeldRead heldRead = ReadHeld(run, held, heldBlock, readMessages);
    const StoredRead read = heldRead.outcome;
    if (read != StoredRead::Read && read != StoredRead::NotProgrammed) {
        readMessages.Replay(run.app.Messages());
        return {heldRead.Status(), QStringLiteral("failed"), {}};
    }
    const CNetAttributes* before = read == StoredRead::Read ? &held : nullptr;
    if (!saved && !before)
        return {ExitSuccess, QStringLiteral("none held and none in the backup"), {}};
    std::optional<CNetAttributes> restored;
    if (saved) {
        restored.emplace(type);
        restored->ParseBlock(*saved);
    }
    const CNetAttributes* after = restored ? &*restored : nullptr;
    const bool dryRun = run.invocation.dryRun;
    if (!saved)
        Note(run,
             QStringLiteral("%1 holds %2 attributes that the backup does not have: %3 them.")
                 .arg(PortDescription(run.app), NetworkTypeName(type), dryRun ? "would clear" : "clearing"));
    const ByteString block = saved.value_or(EmptyAttributeBlock());
    const WriteResult written = WriteBlock(run, type, block);
    const ExitStatus status = written.status;
    const QJsonObject changes = FieldChangesJson(before, after);
    if (status != ExitSuccess)
        return {status, FailedWriteText(written), changes, written.written};
    const QString changed =
        changes.isEmpty() ? QStringLiteral("no field changes") : FieldChangesText(before, after);
    const AttributeMessages& messages = AttributeMessagesFor(type);
    return {status,
            dryRun ? QStringLiteral("would write %1: %2").arg(HexString(block), changed)
                   : QStringLiteral("%1: %2").arg(Clause(saved ? messages.programmed : messages.cleared),
                                                  changed),
            changes, written.written};
}

// The last line of a restore's text: where it went and what came of it.
QString RestoreSummary(const Run& run, const QString& path, ExitStatus worst) {
    const QString port = PortDescription(run.app);
    if (run.invocation.dryRun)
        return QStringLiteral("Would restore %1 to %2; nothing was written.").arg(path, port);
    if (worst == ExitInterrupted)
        return QStringLiteral("Interrupted: restoring %1 to %2 stopped.").arg(path, port);
    if (worst != ExitSuccess)
        return QStringLiteral("Restoring %1 to %2 ended with exit status %3.").arg(path, port).arg(worst);
    return QStringLiteral("Restored %1 to %2.").arg(path, port);
}

} // namespace

ExitStatus RestoreFrom(const Run& run, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Refuse(run.app, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    QString error;
    const std::optional<Backup> backup = BackupFromJson(file.readAll(), error);
    if (!backup)
        return Refuse(run.app, QStringLiteral("%1: %2; nothing was written.").arg(path, error));
    if (const auto& ethernet = backup->blocks[NetworkEthernet - 1]; ethernet && !run.invocation.force) {
        CNetAttributes record(NetworkEthernet);
        record.ParseBlock(*ethernet);
        if (const auto unreachable = UnreachableAddress(record))
            return Refuse(run.app, QStringLiteral(
                                       "%1: ethernet: %2; nothing was written. --force restores it as saved.")
                                       .arg(path, QString::fromStdString(unreachable->text)));
    }
    ByteString statusId;
    if (const RequestResult asked = StatusIdAnswered(run, &statusId); !asked)
        return asked.Status();
    if (statusId != backup->statusId && !run.invocation.force)
        return Refuse(
            run.app,
            QStringLiteral("%1 was saved from a controller with status id %2; %3 answers %4. Nothing "
                           "was written; --force restores it anyway.")
                .arg(path, HexString(backup->statusId), PortDescription(run.app), HexString(statusId)));

    ExitStatus worst = ExitSuccess;
    QJsonObject types;
    QStringList lines;
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type) {
        const TypeOutcome outcome =
            Stopped(run) ? TypeOutcome{ExitInterrupted, QStringLiteral("not restored: interrupted"), {}}
                          : RestoreType(run, static_cast<NetworkType>(type), backup->blocks[type - 1]);
        worst = WorseOf(worst, outcome.status);
        QJsonObject json{{"outcome", outcome.text}, {"exitStatus", outcome.status}};
        if (!outcome.changes.isEmpty())
            json.insert("changes", outcome.changes);
        if (outcome.written)
            json.insert("written", WrittenWord(*outcome.written));
        if (const auto& block = backup->blocks[type - 1])
            json.insert("block", HexString(*block));
        types.insert(NetworkTypeName(type), json);
        lines << QStringLiteral("%1: %2%3")
                     .arg(NetworkTypeName(type), outcome.text,
                          outcome.status == ExitSuccess
                              ? QString()
                              : QStringLiteral(" (exit status %1)").arg(outcome.status));
    }
    if (run.invocation.json)
        PrintJson(WithPort(run.app, {{"file", path},
                                     {"dryRun", run.invocation.dryRun},
                                     {"types", types},
                                     {"interrupted", worst == ExitInterrupted},
                                     {"exitStatus", worst}}));
    else
        PrintLine((lines << RestoreSummary(run, path, worst)).join('\n'));
    return worst;
}
