#include "cli/Commands.h"

#include "app/NetConfigApp.h"
#include "cli/AttributeText.h"
#include "cli/BackupCommands.h"
#include "cli/BackupFile.h"
#include "cli/CommandLine.h"
#include "cli/Interruption.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/Operations.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "cli/Ports.h"
#include "cli/WriteValues.h"
#include "cli/commission/CommissionCommand.h"
#include "cli/commission/Snapshot.h"
#include "link/PortHold.h"
#include "platform/MessageBoxTypes.h"
#include "res/AttributeMessages.h"
#include "seriallink/serial/ModemLines.h"
#include "seriallink/serial/PortName.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <array>
#include <functional>

namespace {

ExitStatus Refuse(const QString& message) {
    return ::Refuse(theApp, message);
}

ExitStatus Status(const Run& run) {
    ByteString id;
    if (const RequestResult asked = StatusIdAnswered(run, &id); !asked)
        return asked.Status();
    if (run.invocation.json)
        PrintJson(WithPort(run.app, {{"statusId", HexString(id)}}));
    else
        PrintLine(QStringLiteral("statusId: %1").arg(HexString(id)));
    return ExitSuccess;
}

ExitStatus Read(const Run& run, NetworkType type) {
    if (const RequestResult asked = StatusIdAnswered(run); !asked)
        return asked.Status();
    CNetAttributes record(type);
    ByteString block;
    CCollectingSink messages;
    const HeldRead read = ReadHeld(run, record, block, messages);
    const StoredRead outcome = read.outcome;
    if (outcome != StoredRead::Read) {
        messages.Replay(theApp.Messages());
        // A failure like any other, with what a script asking whether the type is held looks for.
        if (outcome == StoredRead::NotProgrammed && run.invocation.json) {
            QJsonObject json = WithPort(run.app, ErrorJson(messages.Text(), ExitNotProgrammed));
            json.insert("type", NetworkTypeName(type));
            json.insert("programmed", false);
            PrintJson(json);
        }
        return read.Status();
    }
    if (run.invocation.json)
        PrintJson(WithPort(run.app, RecordJson(record, block)));
    else
        PrintLine(RecordText(record));
    return ExitSuccess;
}

// The status of a write; a failed one's JSON report says what became of it.
ExitStatus WriteOutcome(const Run& run, const WriteResult& result) {
    if (result.status != ExitSuccess && run.invocation.json)
        AddErrorJsonField(QStringLiteral("written"), WrittenWord(result.written));
    return result.status;
}

// Writes a record built from what the controller held and says what was written, naming the fields
// the command changed (by their JSON keys).
ExitStatus WriteRecord(const Run& run, const CNetAttributes& record, const QStringList& changed) {
    const auto type = static_cast<NetworkType>(record.m_nType);
    const ByteString block = record.BuildBlock();
    if (const ExitStatus status = WriteOutcome(run, WriteBlock(run, type, block)); status != ExitSuccess)
        return status;
    if (run.invocation.json) {
        QJsonObject json = WithPort(run.app, RecordJson(record, block));
        json.insert("dryRun", run.invocation.dryRun);
        json.insert("verified", run.invocation.verify && !run.invocation.dryRun);
        json.insert("written", WrittenWord(run.invocation.dryRun ? Written::No : Written::Yes));
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

// What the controller holds of `type` into `held` (none when it holds none of Ethernet); a failure,
// a fieldbus type held by none among them, has been told.
ExitStatus ReadForWrite(const Run& run, NetworkType type, std::optional<ByteString>& held) {
    if (const RequestResult asked = StatusIdAnswered(run); !asked)
        return asked.Status();
    CNetAttributes record(type);
    ByteString block;
    CCollectingSink messages;
    const HeldRead read = ReadHeld(run, record, block, messages);
    const StoredRead outcome = read.outcome;
    if (outcome == StoredRead::Read)
        held = block;
    if (outcome == StoredRead::Read || (outcome == StoredRead::NotProgrammed && type == NetworkEthernet))
        return ExitSuccess;
    messages.Replay(run.app.Messages());
    return read.Status();
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
    if (const QStringList refusals = ParseWriteValues(run.invocation.values, "--", values);
        !refusals.isEmpty())
        return Refuse(refusals.first() + QStringLiteral("; nothing was written."));
    if (!values.Touches(type))
        return Refuse(NeedsValues(type));

    std::optional<ByteString> held;
    if (const ExitStatus status = ReadForWrite(run, type, held); status != ExitSuccess)
        return status;
    CNetAttributes record(type);
    QStringList changed;
    std::optional<ValueRefusal> refusal;
    if (ApplyOverHeld(run, held, values, record, changed, refusal) != ExitSuccess) {
        if (!refusal->addressRule)
            return Refuse(refusal->text + QStringLiteral("; nothing was written."));
        const QString blamed = refusal->heldBlamed ? HeldValueText(*refusal->heldBlamed, !held) : QString();
        return Refuse(refusal->text + blamed +
                      QStringLiteral("; nothing was written. --force writes it as given."));
    }
    return WriteRecord(run, record, changed);
}

ExitStatus DisableEthernet(const Run& run) {
    if (const ExitStatus status = WriteOutcome(run, WriteBlock(run, NetworkEthernet, EmptyAttributeBlock()));
        status != ExitSuccess)
        return status;
    if (run.invocation.json)
        PrintJson(WithPort(run.app,
                           {{"type", "ethernet"},
                            {"programmed", false},
                            {"block", HexString(EmptyAttributeBlock())},
                            {"dryRun", run.invocation.dryRun},
                            {"verified", run.invocation.verify && !run.invocation.dryRun},
                            {"written", WrittenWord(run.invocation.dryRun ? Written::No : Written::Yes)}}));
    else if (run.invocation.dryRun)
        PrintLine(QStringLiteral("Would write the ethernet block %1 to %2; nothing was written.")
                      .arg(HexString(EmptyAttributeBlock()), PortDescription(theApp)));
    else
        PrintLine(QStringLiteral("%1: %2.").arg(PortDescription(theApp),
                                                Clause(AttributeMessagesFor(NetworkEthernet).cleared)));
    return ExitSuccess;
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

ExitStatus RunCommand(const Invocation& invocation, CLineTrace& watch) {
    const Run run{invocation, watch, theApp, &StopFlag()};
    if (invocation.settle)
        SetModemLineSettle(*invocation.settle);
    const QString& command = invocation.command;
    if (command == "help")
        return Help(invocation);
    if (command == "ports")
        return ListPorts(invocation);
    if (command == "probe")
        return ProbePorts(invocation, watch);
    if (command == "commission")
        return static_cast<ExitStatus>(RunCommission(invocation));
    if (command == "snapshot")
        return RunSnapshot(invocation);
    if (const QString refused = SelectPort(theApp, invocation.port); !refused.isEmpty())
        return Refuse(refused);
    // One open for the whole command, read-backs included.
    const CPortHold hold(theApp);
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
