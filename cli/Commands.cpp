#include "cli/Commands.h"

#include "app/NetConfigApp.h"
#include "cli/AttributeText.h"
#include "cli/BackupFile.h"
#include "cli/CommandLine.h"
#include "cli/CommandSteps.h"
#include "cli/CommissionCommand.h"
#include "cli/Interruption.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "cli/WriteValues.h"
#include "platform/MessageBoxTypes.h"
#include "res/AttributeMessages.h"
#include "seriallink/PortName.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <array>
#include <functional>

namespace {

// An error of the companion's own, told where the link's are, so that --json reports it too.
void Complain(CNetConfigApp& app, const QString& message) {
    app.Messages().ShowAppMessage(message, mb::OK | mb::ICONEXCLAMATION);
}

void Complain(const QString& message) {
    Complain(theApp, message);
}

ExitStatus Refuse(const QString& message) {
    Complain(message);
    return ExitRefused;
}

void Note(const Run& run, const QString& text) {
    if (run.notes)
        run.notes->ShowAppMessage(text, mb::OK | mb::ICONINFORMATION);
    else
        PrintErrorLine(TerminalText(text));
}

// A dialog's sentence without its closing mark, to go on with details.
QString Clause(const char* text) {
    QString clause = TerminalText(QString::fromUtf8(text));
    while (clause.endsWith('.') || clause.endsWith('!'))
        clause.chop(1);
    return clause;
}

} // namespace

// The exit status of a request that failed; one that never started was stopped by an interruption.
ExitStatus FailureStatus(const CLineTrace& watch) {
    switch (watch.Failure()) {
    case LinkFailure::ControllerRefused:
        return ExitControllerRefused;
    case LinkFailure::None:
        if (Interrupted())
            return ExitInterrupted;
        break;
    case LinkFailure::Open:
    case LinkFailure::Line:
        break;
    }
    return ExitLinkFailure;
}

namespace {

bool Stopped(const Run& run) {
    return run.stop && run.stop->load();
}

ExitStatus ExitFor(const Run& run, StoredRead outcome) {
    switch (outcome) {
    case StoredRead::Read:
        return ExitSuccess;
    case StoredRead::NotProgrammed:
        return ExitNotProgrammed;
    case StoredRead::Unreadable:
        return ExitLinkFailure;
    case StoredRead::LinkFailed:
        break;
    }
    return FailureStatus(run.watch);
}

// Runs `request` and repeats it, up to --retries times, while it fails on the line. A request the
// controller refused, or a port that does not open, is not repeated, and none starts once the run is
// asked to stop. The messages of an attempt that is repeated are not shown: the note before the repeat
// names its failure. Those of the last failed attempt go to `kept` when given, for a caller that tells
// them once it knows the outcome, and are shown at once otherwise.
bool Retrying(const Run& run, const std::function<bool()>& request, CCollectingSink* kept = nullptr) {
    for (int attempt = 1;; ++attempt) {
        run.watch.BeginRequest();
        if (Stopped(run))
            return false;
        CCollectingSink messages;
        bool done = false;
        {
            const CScopedSink quiet(run.app, messages);
            done = request();
        }
        const bool repeat = !done && attempt <= run.invocation.retries &&
                            run.watch.Failure() == LinkFailure::Line && !Stopped(run);
        if (!repeat) {
            if (kept && !done)
                *kept = messages;
            else
                messages.Replay(run.app.Messages());
            return done;
        }
        Note(run, QStringLiteral("Repeating the request (%1 of %2) after a failure on the line: %3")
                 .arg(attempt)
                 .arg(run.invocation.retries)
                 .arg(run.watch.FailureText()));
    }
}

} // namespace

bool StatusIdAnswered(const Run& run, ByteString* id) {
    return Retrying(run, [&] { return run.app.ReadStatusId(id); });
}

namespace {

// Reads what the controller holds of the record's type into it. The messages are kept in `messages`:
// whether "none held" is worth telling is the caller's to decide.
StoredRead ReadHeld(const Run& run, CNetAttributes& record, ByteString& block, CCollectingSink& messages) {
    StoredRead outcome = StoredRead::LinkFailed;
    Retrying(run, [&] {
        messages.Clear();
        const CScopedSink quiet(run.app, messages);
        outcome = run.app.ReadStoredRecord(record, block);
        return outcome == StoredRead::Read || outcome == StoredRead::NotProgrammed;
    });
    return outcome;
}

QJsonObject WithPort(QJsonObject json) {
    const QJsonObject port = PortJson(theApp);
    for (auto field = port.begin(); field != port.end(); ++field)
        json.insert(field.key(), field.value());
    return json;
}

ExitStatus Status(const Run& run) {
    ByteString id;
    if (!StatusIdAnswered(run, &id))
        return FailureStatus(run.watch);
    if (run.invocation.json)
        PrintJson(WithPort({{"statusId", HexString(id)}}));
    else
        PrintLine(QStringLiteral("statusId: %1").arg(HexString(id)));
    return ExitSuccess;
}

ExitStatus Read(const Run& run, NetworkType type) {
    if (!StatusIdAnswered(run))
        return FailureStatus(run.watch);
    CNetAttributes record(type);
    ByteString block;
    CCollectingSink messages;
    const StoredRead outcome = ReadHeld(run, record, block, messages);
    if (outcome != StoredRead::Read) {
        messages.Replay(theApp.Messages());
        // A failure like any other, with what a script asking whether the type is held looks for.
        if (outcome == StoredRead::NotProgrammed && run.invocation.json) {
            QJsonObject json = WithPort(ErrorJson(messages.Text(), ExitNotProgrammed));
            json.insert("type", NetworkTypeName(type));
            json.insert("programmed", false);
            PrintJson(json);
        }
        return ExitFor(run, outcome);
    }
    if (run.invocation.json)
        PrintJson(WithPort(RecordJson(record, block)));
    else
        PrintLine(RecordText(record));
    return ExitSuccess;
}

} // namespace

// The outcome is told only once the read-back decides it, whatever became of the write's reply. A dry
// run writes nothing. An interruption stops before the next request and says how far the write got.
ExitStatus WriteBlock(const Run& run, NetworkType type, const ByteString& block) {
    if (run.invocation.dryRun)
        return ExitSuccess;
    const bool clear = block == EmptyAttributeBlock();
    CCollectingSink writeMessages;
    const bool written = Retrying(
        run, [&] { return clear ? run.app.ClearAttributes(type) : run.app.ProgramBlock(block, type); },
        &writeMessages);
    const QString port = PortDescription(run.app);
    // Unless the line failed, the controller has not acted: a port that did not open, a refusal.
    if (!written && run.watch.Failure() != LinkFailure::Line) {
        writeMessages.Replay(run.app.Messages());
        if (run.watch.Failure() == LinkFailure::None && Stopped(run))
            Complain(run.app, QStringLiteral("Interrupted before the %1 block was written to %2; it was not written.")
                         .arg(NetworkTypeName(type), port));
        return FailureStatus(run.watch);
    }
    if (!run.invocation.verify) {
        writeMessages.Replay(run.app.Messages());
        return written ? ExitSuccess : FailureStatus(run.watch);
    }

    ByteString held;
    CCollectingSink messages;
    const bool read = Retrying(run, [&] {
        messages.Clear();
        const CScopedSink quiet(run.app, messages);
        return run.app.ReadNetAttributes(held, type);
    });
    if (!read && run.watch.Failure() == LinkFailure::None && Stopped(run)) {
        if (written) {
            Complain(run.app, QStringLiteral("Interrupted: the %1 block was written to %2 and not read back.")
                         .arg(NetworkTypeName(type), port));
        } else {
            writeMessages.Replay(run.app.Messages());
            Complain(
                QStringLiteral("Interrupted: the reply to the %1 write was lost and the block was not read "
                               "back; whether %2 holds it is not known.")
                    .arg(NetworkTypeName(type), port));
        }
        return ExitInterrupted;
    }
    if (!read) {
        writeMessages.Replay(run.app.Messages());
        messages.Replay(run.app.Messages());
        Complain(run.app, QStringLiteral("The %1 block could not be read back from %2 to verify it.")
                     .arg(NetworkTypeName(type), port));
        return ExitLinkFailure;
    }
    if (held == block) {
        if (!written)
            Note(run, QStringLiteral("The reply to the write was lost, but %1 holds the block written.").arg(port));
        return ExitSuccess;
    }
    writeMessages.Replay(run.app.Messages());
    Complain(run.app, QStringLiteral("%1 holds the %2 block %3, not the block %4 that was to be written.")
                 .arg(port, NetworkTypeName(type), HexString(held), HexString(block)));
    return ExitLinkFailure;
}

namespace {

// Writes a record built from what the controller held and says what was written, naming the fields
// the command changed (by their JSON keys).
ExitStatus WriteRecord(const Run& run, const CNetAttributes& record, const QStringList& changed) {
    const auto type = static_cast<NetworkType>(record.m_nType);
    const ByteString block = record.BuildBlock();
    if (const ExitStatus status = WriteBlock(run, type, block); status != ExitSuccess)
        return status;
    if (run.invocation.json) {
        QJsonObject json = WithPort(RecordJson(record, block));
        json.insert("dryRun", run.invocation.dryRun);
        json.insert("verified", run.invocation.verify && !run.invocation.dryRun);
        PrintJson(json);
    } else if (run.invocation.dryRun) {
        PrintLine(QStringLiteral("Would write the %1 block %2 to %3 (%4); nothing was written.")
                      .arg(NetworkTypeName(type), HexString(block), PortDescription(theApp),
                           ChangedFieldsText(record, changed)));
    } else {
        PrintLine(QStringLiteral("%1: %2: %3.")
                      .arg(PortDescription(theApp), Clause(AttributeMessagesFor(type).programmed),
                           ChangedFieldsText(record, changed)));
    }
    return ExitSuccess;
}

// The controller's record of `type` into `record`; a failure has been told. `fromDefaults`
// learns whether the controller held no Ethernet attributes and the record holds the defaults.
ExitStatus ReadForWrite(const Run& run, CNetAttributes& record, bool& fromDefaults) {
    if (!StatusIdAnswered(run))
        return FailureStatus(run.watch);
    ByteString held;
    CCollectingSink messages;
    const StoredRead outcome = ReadHeld(run, record, held, messages);
    if (outcome == StoredRead::NotProgrammed && record.m_nType == NetworkEthernet) {
        Note(run, QStringLiteral("%1 holds no Ethernet attributes; starting from the defaults.")
                      .arg(PortDescription(run.app)));
        fromDefaults = true;
        return ExitSuccess;
    }
    if (outcome != StoredRead::Read)
        messages.Replay(run.app.Messages());
    return ExitFor(run, outcome);
}

QString NeedsValues(NetworkType type) {
    switch (type) {
    case NetworkDeviceNet:
        return QStringLiteral("write devicenet needs --mac-id, --baud or both.");
    case NetworkProfibus:
        return QStringLiteral("write profibus needs --node.");
    default:
        return QStringLiteral("write ethernet needs --ip, --mask or --gateway.");
    }
}

// An address rule's refusal of a value the command did not name: the value is the controller's, or
// the default where it holds none; say so, and which option changes it.
QString HeldValueText(EthernetAddress blamed, bool fromDefaults) {
    constexpr std::array<const char*, 3> options{"ip", "mask", "gateway"};
    return QStringLiteral(" (%1 %2; --%3 changes it)")
        .arg(fromDefaults ? QStringLiteral("the default, as") : QStringLiteral("the value"),
             fromDefaults ? QStringLiteral("nothing is held") : PortDescription(theApp) + " holds",
             QString::fromLatin1(options[static_cast<std::size_t>(blamed)]));
}

// The values given, over what the controller holds of the type: a fieldbus's address and baud rate,
// Ethernet's addresses; the timeout, poll time and word counts stay as held.
ExitStatus WriteType(const Run& run, NetworkType type) {
    WriteValues values;
    if (const QStringList refusals = ParseWriteValues(run.invocation.values, "--", values); !refusals.isEmpty())
        return Refuse(refusals.first() + QStringLiteral("; nothing was written."));
    if (!values.Touches(type))
        return Refuse(NeedsValues(type));

    CNetAttributes record(type);
    bool fromDefaults = false;
    if (const ExitStatus status = ReadForWrite(run, record, fromDefaults); status != ExitSuccess)
        return status;
    QStringList changed;
    if (const auto refusal = ApplyWriteValues(values, record, run.invocation.force, changed)) {
        if (!refusal->addressRule)
            return Refuse(refusal->text + QStringLiteral("; nothing was written."));
        const QString held = refusal->heldBlamed ? HeldValueText(*refusal->heldBlamed, fromDefaults) : QString();
        return Refuse(refusal->text + held + QStringLiteral("; nothing was written. --force writes it as given."));
    }
    return WriteRecord(run, record, changed);
}

ExitStatus DisableEthernet(const Run& run) {
    if (const ExitStatus status = WriteBlock(run, NetworkEthernet, EmptyAttributeBlock());
        status != ExitSuccess)
        return status;
    if (run.invocation.json)
        PrintJson(WithPort({{"type", "ethernet"},
                            {"programmed", false},
                            {"block", HexString(EmptyAttributeBlock())},
                            {"dryRun", run.invocation.dryRun},
                            {"verified", run.invocation.verify && !run.invocation.dryRun}}));
    else if (run.invocation.dryRun)
        PrintLine(QStringLiteral("Would write the ethernet block %1 to %2; nothing was written.")
                      .arg(HexString(EmptyAttributeBlock()), PortDescription(theApp)));
    else
        PrintLine(QStringLiteral("%1: %2.").arg(PortDescription(theApp),
                                                Clause(AttributeMessagesFor(NetworkEthernet).cleared)));
    return ExitSuccess;
}

} // namespace

ExitStatus ReadHeldBlocks(const Run& run, Backup& backup) {
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type) {
        CNetAttributes record(static_cast<NetworkType>(type));
        ByteString block;
        CCollectingSink messages;
        const StoredRead outcome = ReadHeld(run, record, block, messages);
        if (outcome == StoredRead::NotProgrammed)
            continue;
        if (outcome != StoredRead::Read) {
            messages.Replay(run.app.Messages());
            return ExitFor(run, outcome);
        }
        backup.blocks[type - 1] = block;
    }
    return ExitSuccess;
}

QString SaveBackup(const QString& path, const Backup& backup) {
    // Written whole or not at all, so an earlier backup is never left half overwritten.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(BackupToJson(backup)) < 0 || !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return {};
}

namespace {

ExitStatus BackupTo(const Run& run, const QString& path) {
    Backup backup;
    if (!StatusIdAnswered(run, &backup.statusId))
        return FailureStatus(run.watch);
    if (const ExitStatus status = ReadHeldBlocks(run, backup); status != ExitSuccess)
        return status;
    if (path == "-") {
        PrintJson(QJsonDocument::fromJson(BackupToJson(backup)).object());
        return ExitSuccess;
    }
    if (const QString refused = SaveBackup(path, backup); !refused.isEmpty())
        return Refuse(refused);
    if (run.invocation.json)
        PrintJson(WithPort({{"file", path}, {"saved", true}}));
    else
        PrintLine(QStringLiteral("Saved the attributes of %1 to %2.").arg(PortDescription(theApp), path));
    return ExitSuccess;
}

struct TypeOutcome {
    ExitStatus status;
    QString text;
    QJsonObject changes; // field by field, held -> restored
};

// Gives the controller a type's block from a backup, or clears the type where the backup has none and
// the controller holds one, saying so first. What the controller holds is read first, so that what
// changes is told field by field: a backup restored onto the wrong controller shows.
TypeOutcome RestoreType(const Run& run, NetworkType type, const std::optional<ByteString>& saved) {
    CNetAttributes held(type);
    ByteString heldBlock;
    CCollectingSink readMessages;
    const StoredRead read = ReadHeld(run, held, heldBlock, readMessages);
    if (read != StoredRead::Read && read != StoredRead::NotProgrammed) {
        readMessages.Replay(theApp.Messages());
        return {ExitFor(run, read), QStringLiteral("failed"), {}};
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
        Note(run, QStringLiteral("%1 holds %2 attributes that the backup does not have: %3 them.")
                      .arg(PortDescription(theApp), NetworkTypeName(type), dryRun ? "would clear" : "clearing"));
    const ByteString block = saved.value_or(EmptyAttributeBlock());
    const ExitStatus status = WriteBlock(run, type, block);
    const QJsonObject changes = FieldChangesJson(before, after);
    if (status != ExitSuccess)
        return {status, status == ExitInterrupted ? QStringLiteral("interrupted") : QStringLiteral("failed"),
                changes};
    const QString changed =
        changes.isEmpty() ? QStringLiteral("no field changes") : FieldChangesText(before, after);
    const AttributeMessages& messages = AttributeMessagesFor(type);
    return {status,
            dryRun ? QStringLiteral("would write %1: %2").arg(HexString(block), changed)
                   : QStringLiteral("%1: %2").arg(Clause(saved ? messages.programmed : messages.cleared),
                                                  changed),
            changes};
}

// The last line of a restore's text: where it went and what came of it.
QString RestoreSummary(const Run& run, const QString& path, ExitStatus worst) {
    const QString port = PortDescription(theApp);
    if (run.invocation.dryRun)
        return QStringLiteral("Would restore %1 to %2; nothing was written.").arg(path, port);
    if (worst == ExitInterrupted)
        return QStringLiteral("Interrupted: restoring %1 to %2 stopped after the exchange in progress.")
            .arg(path, port);
    if (worst != ExitSuccess)
        return QStringLiteral("Restoring %1 to %2 ended with exit status %3.").arg(path, port).arg(worst);
    return QStringLiteral("Restored %1 to %2.").arg(path, port);
}

ExitStatus RestoreFrom(const Run& run, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Refuse(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    QString error;
    const std::optional<Backup> backup = BackupFromJson(file.readAll(), error);
    if (!backup)
        return Refuse(QStringLiteral("%1: %2; nothing was written.").arg(path, error));
    if (const auto& ethernet = backup->blocks[NetworkEthernet - 1]; ethernet && !run.invocation.force) {
        CNetAttributes record(NetworkEthernet);
        record.ParseBlock(*ethernet);
        if (const auto unreachable = UnreachableAddress(record))
            return Refuse(
                QStringLiteral("%1: ethernet: %2; nothing was written. --force restores it as saved.")
                    .arg(path, QString::fromStdString(unreachable->text)));
    }
    ByteString statusId;
    if (!StatusIdAnswered(run, &statusId))
        return FailureStatus(run.watch);
    if (statusId != backup->statusId && !run.invocation.force)
        return Refuse(
            QStringLiteral("%1 was saved from a controller with status id %2; %3 answers %4. Nothing "
                           "was written; --force restores it anyway.")
                .arg(path, HexString(backup->statusId), PortDescription(theApp), HexString(statusId)));

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
        PrintJson(WithPort({{"file", path},
                            {"dryRun", run.invocation.dryRun},
                            {"types", types},
                            {"interrupted", worst == ExitInterrupted},
                            {"exitStatus", worst}}));
    else
        PrintLine((lines << RestoreSummary(run, path, worst)).join('\n'));
    return worst;
}

ExitStatus Help(const Invocation& invocation) {
    const QString command = invocation.arguments.value(0);
    const QString text = HelpText(command);
    if (text.isEmpty())
        return Refuse(UnknownCommandText(command));
    if (invocation.json)
        PrintJson(QJsonObject{{"help", text.trimmed()}});
    else
        PrintLine(text.trimmed());
    return ExitSuccess;
}

} // namespace

ExitStatus WorseOf(ExitStatus a, ExitStatus b) {
    const auto rank = [](ExitStatus status) {
        constexpr std::array<int, 5> ranks{0, 2, 4, 1, 3}; // by exit status 0 to 4
        return status == ExitInterrupted ? 5 : ranks[status];
    };
    return rank(a) >= rank(b) ? a : b;
}

QJsonObject PortJson(const CNetConfigApp& app) {
    const PortChoice port = ChosenPort(app);
    return {{"port", port.name}, {"device", QString::fromStdString(port.device)}};
}

ExitStatus RunCommand(const Invocation& invocation, CLineTrace& watch) {
    const Run run{invocation, watch, theApp, &StopFlag()};
    const QString& command = invocation.command;
    if (command == "help")
        return Help(invocation);
    if (command == "ports")
        return ListPorts(invocation);
    if (command == "probe")
        return ProbePorts(invocation, watch);
    if (command == "commission")
        return static_cast<ExitStatus>(RunCommission(invocation));
    if (const QString refused = SelectPort(theApp, invocation.port); !refused.isEmpty())
        return Refuse(refused);
    if (command == "status")
        return Status(run);
    if (command == "disable-ethernet")
        return DisableEthernet(run);
    if (command == "backup")
        return BackupTo(run, invocation.arguments.first());
    if (command == "restore")
        return RestoreFrom(run, invocation.arguments.first());
    const std::optional<NetworkType> type = NetworkTypeNamed(invocation.arguments.first());
    if (!type)
        return Refuse(QStringLiteral("Unknown network type '%1': use ethernet, devicenet or profibus.")
                          .arg(invocation.arguments.first()));
    if (command == "read")
        return Read(run, *type);
    return WriteType(run, *type);
}
