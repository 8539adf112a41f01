#include "cli/Commands.h"

#include "app/NetConfigApp.h"
#include "cli/AttributeText.h"
#include "cli/BackupFile.h"
#include "cli/CommandLine.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "link/MessageSink.h"
#include "model/AttributeRules.h"
#include "platform/MessageBoxTypes.h"
#include "res/AttributeMessages.h"

#include <QFile>
#include <QJsonObject>
#include <QSaveFile>

namespace {

ExitStatus Refuse(const QString& message) {
    PrintErrorLine(message);
    return ExitRefused;
}

ExitStatus ExitFor(StoredRead outcome) {
    switch (outcome) {
    case StoredRead::Read:
        return ExitSuccess;
    case StoredRead::NotProgrammed:
        return ExitNotProgrammed;
    default:
        return ExitLinkFailure;
    }
}

QString ValueOf(const Invocation& invocation, const QString& option) {
    const auto found = invocation.values.find(option);
    return found != invocation.values.end() ? found->second : QString();
}

// A whole decimal number; anything else is refused with the rule's own message, as an out-of-range
// value would be.
std::optional<int> WholeNumber(const QString& text) {
    bool number = false;
    const int value = text.toInt(&number);
    return number ? std::optional<int>(value) : std::nullopt;
}

ExitStatus Status(const Invocation& invocation) {
    ByteString id;
    if (!theApp.ReadStatusId(&id))
        return ExitLinkFailure;
    const QString hex = HexText(id, false);
    if (invocation.json)
        PrintJson(QJsonObject{{"port", PortDescription(theApp)}, {"statusId", hex}});
    else
        PrintLine(QStringLiteral("statusId: %1").arg(hex));
    return ExitSuccess;
}

ExitStatus Read(const Invocation& invocation, NetworkType type) {
    if (!theApp.ReadStatusId())
        return ExitLinkFailure;
    CNetAttributes record(type);
    ByteString block;
    const StoredRead outcome = theApp.ReadStoredRecord(record, block);
    if (outcome == StoredRead::NotProgrammed && invocation.json)
        PrintJson(QJsonObject{{"type", NetworkTypeName(type)}, {"programmed", false}});
    if (outcome != StoredRead::Read)
        return ExitFor(outcome);
    if (invocation.json)
        PrintJson(RecordJson(record, block));
    else
        PrintLine(RecordText(record));
    return ExitSuccess;
}

// Writes the record as the Program button does and says so.
ExitStatus Program(const Invocation& invocation, const CNetAttributes& record) {
    const ByteString block = record.BuildBlock();
    if (!theApp.ProgramBlock(block, static_cast<NetworkType>(record.m_nType)))
        return ExitLinkFailure;
    if (invocation.json)
        PrintJson(RecordJson(record, block));
    else
        PrintLine(AttributeMessagesFor(record.m_nType).programmed);
    return ExitSuccess;
}

// DeviceNet and Profibus: the user's address (and baud rate) over what the controller holds.
ExitStatus WriteFieldbus(const Invocation& invocation, NetworkType type) {
    const bool deviceNet = type == NetworkDeviceNet;
    const QString addressOption = deviceNet ? "mac-id" : "node";
    if (!invocation.values.count(addressOption))
        return Refuse(QStringLiteral("write %1 needs --%2.").arg(NetworkTypeName(type), addressOption));
    const std::optional<int> address = WholeNumber(ValueOf(invocation, addressOption));
    const auto addressBreach = CheckNodeAddress(type, address.value_or(-1));
    if (addressBreach)
        return Refuse(addressBreach->message);
    std::optional<std::uint8_t> baudRate;
    if (invocation.values.count("baud")) {
        baudRate = BaudRateIndex(ValueOf(invocation, "baud"));
        if (!baudRate)
            return Refuse(QStringLiteral("Invalid baud rate! Use 125, 250 or 500."));
    }

    if (!theApp.ReadStatusId())
        return ExitLinkFailure;
    CNetAttributes record(type);
    ByteString reply;
    if (const StoredRead outcome = theApp.ReadStoredRecord(record, reply); outcome != StoredRead::Read)
        return ExitFor(outcome);
    record.m_nNodeAddress = *address;
    if (baudRate)
        record.m_byBaudRate = *baudRate;
    // The word counts come from the controller and go back unchanged, if the utility would accept them.
    if (const auto breach = CheckWordCounts(type, record.m_nInputWords, record.m_nOutputWords))
        return Refuse(breach->message);
    return Program(invocation, record);
}

ExitStatus WriteEthernet(const Invocation& invocation) {
    if (!invocation.values.count("ip"))
        return Refuse(QStringLiteral("write ethernet needs --ip."));
    // The timeout and poll time travel at the record's values, as in the utility.
    CNetAttributes record(NetworkEthernet);
    const std::pair<const char*, std::uint8_t(*)[4]> addresses[] = {
        {"ip", &record.m_byIpAddress}, {"mask", &record.m_bySubnetMask}, {"gateway", &record.m_byGateway}};
    for (const auto& [option, octets] : addresses) {
        if (invocation.values.count(option) && !ParseIpAddress(ValueOf(invocation, option), *octets))
            return Refuse(
                QStringLiteral("Invalid address for --%1: '%2'. Give four numbers 0 to 255, such as "
                               "192.168.1.10.")
                    .arg(option, ValueOf(invocation, option)));
    }
    return Program(invocation, record);
}

ExitStatus DisableEthernet() {
    if (!theApp.ClearAttributes(NetworkEthernet))
        return ExitLinkFailure;
    PrintLine(AttributeMessagesFor(NetworkEthernet).cleared);
    return ExitSuccess;
}

ExitStatus BackupTo(const QString& path) {
    Backup backup;
    if (!theApp.ReadStatusId(&backup.statusId))
        return ExitLinkFailure;
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type) {
        CNetAttributes record(static_cast<NetworkType>(type));
        ByteString block;
        const bool read = theApp.ReadNetAttributes(block, static_cast<NetworkType>(type));
        if (read && block.size() == EmptyAttributeBlock().size())
            continue;
        if (!read || block.size() < record.ParsedLength()) {
            theApp.Messages().ShowAppMessage(AttributeMessagesFor(type).readFailed,
                                             mb::OK | mb::ICONEXCLAMATION);
            return ExitLinkFailure;
        }
        backup.blocks[type - 1] = block;
    }
    // Written whole or not at all, so an earlier backup is never left half overwritten.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(BackupToJson(backup)) < 0 || !file.commit())
        return Refuse(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    PrintLine(QStringLiteral("Saved the attributes to %1.").arg(path));
    return ExitSuccess;
}

ExitStatus RestoreFrom(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Refuse(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    QString error;
    const std::optional<Backup> backup = BackupFromJson(file.readAll(), error);
    if (!backup)
        return Refuse(QStringLiteral("%1: %2; nothing was written.").arg(path, error));
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type) {
        const auto networkType = static_cast<NetworkType>(type);
        const auto& block = backup->blocks[type - 1];
        const bool written =
            block ? theApp.ProgramBlock(*block, networkType) : theApp.ClearAttributes(networkType);
        if (!written)
            return ExitLinkFailure;
        PrintLine(block ? AttributeMessagesFor(type).programmed : AttributeMessagesFor(type).cleared);
    }
    return ExitSuccess;
}

ExitStatus Write(const Invocation& invocation, NetworkType type) {
    return type == NetworkEthernet ? WriteEthernet(invocation) : WriteFieldbus(invocation, type);
}

} // namespace

ExitStatus RunCommand(const Invocation& invocation) {
    const QString& command = invocation.command;
    if (command == "ports")
        return ListPorts(invocation);
    if (command == "probe")
        return ProbePorts(invocation);
    if (const QString refused = SelectPort(theApp, invocation.port); !refused.isEmpty())
        return Refuse(refused);
    if (command == "status")
        return Status(invocation);
    if (command == "disable-ethernet")
        return DisableEthernet();
    if (command == "backup")
        return BackupTo(invocation.arguments.first());
    if (command == "restore")
        return RestoreFrom(invocation.arguments.first());
    const std::optional<NetworkType> type = NetworkTypeNamed(invocation.arguments.first());
    if (!type)
        return Refuse(QStringLiteral("Unknown network type '%1': use ethernet, devicenet or profibus.")
                          .arg(invocation.arguments.first()));
    return command == "read" ? Read(invocation, *type) : Write(invocation, *type);
}
