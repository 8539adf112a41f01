#include "cli/Commands.h"

#include "app/NetConfigApp.h"
#include "cli/AddressRules.h"
#include "cli/AttributeText.h"
#include "cli/BackupFile.h"
#include "cli/CommandLine.h"
#include "cli/CommandSteps.h"
#include "cli/CommissionCommand.h"
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

ExitStatus FailureStatus(const CLineTrace& watch) {
    return watch.Failure() == LinkFailure::ControllerRefused ? ExitControllerRefused : ExitLinkFailure;
}

namespace {

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
// controller refused, or a port that does not open, is not repeated; once the run is asked to stop,
// none starts.
bool Retrying(const Run& run, const std::function<bool()>& request) {
    for (int attempt = 1;; ++attempt) {
        run.watch.BeginRequest();
        if (run.stop && run.stop->load())
            return false;
        if (request())
            return true;
        if (attempt > run.invocation.retries || run.watch.Failure() != LinkFailure::Line)
            return false;
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
        if (outcome == StoredRead::NotProgrammed && run.invocation.json)
            PrintJson(WithPort({{"type", NetworkTypeName(type)}, {"programmed", false}}));
        return ExitFor(run, outcome);
    }
    if (run.invocation.json)
        PrintJson(WithPort(RecordJson(record, block)));
    else
        PrintLine(RecordText(record));
    return ExitSuccess;
}

} // namespace

// Writes `block` of `type` (the empty block clears the type) and, unless --no-verify, reads it back:
// what the controller then holds decides the outcome, whatever became of the write's reply. A dry run
// writes nothing.
ExitStatus WriteBlock(const Run& run, NetworkType type, const ByteString& block) {
    if (run.invocation.dryRun)
        return ExitSuccess;
    const bool clear = block == EmptyAttributeBlock();
    const bool written = Retrying(
        run, [&] { return clear ? run.app.ClearAttributes(type) : run.app.ProgramBlock(block, type); });
    // Unless the line failed, the controller has not acted: a port that did not open, a refusal.
    if (!run.invocation.verify || (!written && run.watch.Failure() != LinkFailure::Line))
        return written ? ExitSuccess : FailureStatus(run.watch);

    ByteString held;
    CCollectingSink messages;
    const bool read = Retrying(run, [&] {
        messages.Clear();
        const CScopedSink quiet(run.app, messages);
        return run.app.ReadNetAttributes(held, type);
    });
    if (!read) {
        messages.Replay(run.app.Messages());
        Complain(run.app, QStringLiteral("The %1 block could not be read back from %2 to verify it.")
                     .arg(NetworkTypeName(type), PortDescription(run.app)));
        return ExitLinkFailure;
    }
    if (held == block) {
        if (!written)
            Note(run, QStringLiteral("The reply to the write was lost, but %1 holds the block written.")
                     .arg(PortDescription(run.app)));
        return ExitSuccess;
    }
    Complain(run.app, QStringLiteral("%1 holds the %2 block %3, not the block %4 that was to be written.")
                 .arg(PortDescription(run.app), NetworkTypeName(type), HexString(held), HexString(block)));
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

// The controller's record of `type` into `record`; a failure has been told.
ExitStatus ReadForWrite(const Run& run, CNetAttributes& record) {
    if (!StatusIdAnswered(run))
        return FailureStatus(run.watch);
    ByteString held;
    CCollectingSink messages;
    const StoredRead outcome = ReadHeld(run, record, held, messages);
    if (outcome == StoredRead::NotProgrammed && record.m_nType == NetworkEthernet) {
        Note(run, QStringLiteral("%1 holds no Ethernet attributes; starting from the defaults.")
                      .arg(PortDescription(run.app)));
        return ExitSuccess;
    }
    if (outcome != StoredRead::Read)
        messages.Replay(theApp.Messages());
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

// The values given, over what the controller holds of the type: a fieldbus's address and baud rate,
// Ethernet's addresses; the timeout, poll time and word counts stay as held.
ExitStatus WriteType(const Run& run, NetworkType type) {
    WriteValues values;
    if (const QStringList refusals = ParseWriteValues(run.invocation.values, "--", values); !refusals.isEmpty())
        return Refuse(refusals.first() + QStringLiteral("; nothing was written."));
    if (!values.Touches(type))
        return Refuse(NeedsValues(type));

    CNetAttributes record(type);
    if (const ExitStatus status = ReadForWrite(run, record); status != ExitSuccess)
        return status;
    QStringList changed;
    if (const auto refusal = ApplyWriteValues(values, record, run.invocation.force, changed))
        return Refuse(refusal->text + (refusal->addressRule
                                           ? QStringLiteral("; nothing was written. --force writes it as given.")
                                           : QStringLiteral("; nothing was written.")));
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
};

// Gives the controller a type's block from a backup, or clears the type where the backup has none and
// the controller holds one, saying so first.
TypeOutcome RestoreType(const Run& run, NetworkType type, const std::optional<ByteString>& saved) {
    const AttributeMessages& messages = AttributeMessagesFor(type);
    const bool dryRun = run.invocation.dryRun;
    if (saved) {
        const ExitStatus status = WriteBlock(run, type, *saved);
        if (status != ExitSuccess)
            return {status, QStringLiteral("failed")};
        return {status, dryRun ? QStringLiteral("would write %1").arg(HexString(*saved))
                               : Clause(messages.programmed)};
    }
    CNetAttributes record(type);
    ByteString held;
    CCollectingSink readMessages;
    const StoredRead outcome = ReadHeld(run, record, held, readMessages);
    if (outcome == StoredRead::NotProgrammed)
        return {ExitSuccess, QStringLiteral("none held and none in the backup")};
    if (outcome != StoredRead::Read) {
        readMessages.Replay(theApp.Messages());
        return {ExitFor(run, outcome), QStringLiteral("failed")};
    }
    Note(run, QStringLiteral("%1 holds %2 attributes that the backup does not have: %3 them.")
                  .arg(PortDescription(theApp), NetworkTypeName(type), dryRun ? "would clear" : "clearing"));
    const ExitStatus status = WriteBlock(run, type, EmptyAttributeBlock());
    if (status != ExitSuccess)
        return {status, QStringLiteral("failed")};
    return {status, dryRun ? QStringLiteral("would write %1").arg(HexString(EmptyAttributeBlock()))
                           : Clause(messages.cleared)};
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
                    .arg(path, *unreachable));
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
            RestoreType(run, static_cast<NetworkType>(type), backup->blocks[type - 1]);
        worst = WorseOf(worst, outcome.status);
        types.insert(NetworkTypeName(type),
                     QJsonObject{{"outcome", outcome.text}, {"exitStatus", outcome.status}});
        lines << QStringLiteral("%1: %2%3")
                     .arg(NetworkTypeName(type), outcome.text,
                          outcome.status == ExitSuccess
                              ? QString()
                              : QStringLiteral(" (exit status %1)").arg(outcome.status));
    }
    if (run.invocation.json)
        PrintJson(WithPort(
            {{"file", path}, {"dryRun", run.invocation.dryRun}, {"types", types}, {"exitStatus", worst}}));
    else
        PrintLine(lines.join('\n'));
    return worst;
}

ExitStatus Help(const Invocation& invocation) {
    const QString command = invocation.arguments.value(0);
    const QString text = HelpText(command);
    if (text.isEmpty())
        return Refuse(QStringLiteral("Unknown command '%1'.").arg(command));
    PrintLine(text.trimmed());
    return ExitSuccess;
}

} // namespace

ExitStatus WorseOf(ExitStatus a, ExitStatus b) {
    constexpr std::array<int, 5> rank{0, 2, 4, 1, 3}; // by exit status 0 to 4
    return rank[a] >= rank[b] ? a : b;
}

QJsonObject PortJson(const CNetConfigApp& app) {
    const std::string& device = app.m_SerialComm.m_strDeviceName;
    if (!device.empty())
        return {{"port", QString::fromStdString(device)}, {"device", QString::fromStdString(device)}};
    const int number = app.m_nComPort + 1;
    const std::string comDevice = ComPortDevice(number);
    return {{"port", QStringLiteral("COM%1").arg(number)},
            {"device", comDevice.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(comDevice))}};
}

ExitStatus RunCommand(const Invocation& invocation, CLineTrace& watch) {
    const Run run{invocation, watch, theApp};
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
