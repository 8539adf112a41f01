#include "cli/BackupFile.h"

#include "cli/AttributeText.h"
#include "cli/Output.h"
#include "model/AttributeRules.h"
#include "model/BaudRates.h"
#include "model/Hex.h"
#include "model/NetAttributes.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr char FormatName[] = "talvor-netcfg backup";

std::optional<ByteString> BytesOfField(const QJsonValue& value) {
    return value.isString() ? FromHex(value.toString().toStdString()) : std::nullopt;
}

// Why `block` is no valid block of `type`, or nothing when it is one.
std::optional<QString> BlockFault(const ByteString& block, int type) {
    if (const auto fault = CheckBlockFrame(block, type)) {
        switch (*fault) {
        case BlockFrameFault::LengthField:
            return QStringLiteral("its length field does not match its length");
        case BlockFrameFault::TypeByte:
            return QStringLiteral("its type byte is not %1").arg(type);
        case BlockFrameFault::Size:
            return QStringLiteral("%1 bytes where a block has %2")
                .arg(block.size())
                .arg(AttributeBlockLength(type));
        }
    }
    if (type == NetworkEthernet)
        return std::nullopt;
    CNetAttributes record(static_cast<NetworkType>(type));
    record.ParseBlock(block);
    const bool deviceNet = type == NetworkDeviceNet;
    const auto outOfRange = [](const char* field, int value, const RuleBreach& breach) {
        return QStringLiteral("%1 %2 is out of range %3-%4")
            .arg(field)
            .arg(value)
            .arg(breach.low)
            .arg(breach.high);
    };
    if (const auto breach = CheckNodeAddress(type, record.m_nNodeAddress))
        return outOfRange(deviceNet ? "macId" : "nodeAddress", record.m_nNodeAddress, *breach);
    const char* inputName = deviceNet ? "consumedWords" : "inputWords";
    const char* outputName = deviceNet ? "producedWords" : "outputWords";
    if (const auto breach = CheckWordCounts(type, record.m_nInputWords, record.m_nOutputWords)) {
        switch (breach->field) {
        case AttributeField::InputWords:
            return outOfRange(inputName, record.m_nInputWords, *breach);
        case AttributeField::OutputWords:
            return outOfRange(outputName, record.m_nOutputWords, *breach);
        default:
            return QStringLiteral("%1 %2 and %3 %4 make %5, out of range %6-%7")
                .arg(inputName)
                .arg(record.m_nInputWords)
                .arg(outputName)
                .arg(record.m_nOutputWords)
                .arg(record.m_nInputWords + record.m_nOutputWords)
                .arg(breach->low)
                .arg(breach->high);
        }
    }
    if (deviceNet && record.m_byBaudRate >= DeviceNetBaudRatesKbps.size())
        return QStringLiteral("the baud rate index %1 is out of range 0-%2")
            .arg(record.m_byBaudRate)
            .arg(DeviceNetBaudRatesKbps.size() - 1);
    return std::nullopt;
}

// Each held block's fields decoded, for people reading the file; the blocks are what is restored.
QJsonObject DecodedFields(const Backup& backup) {
    QJsonObject fields;
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type) {
        const auto& block = backup.blocks[type - 1];
        if (!block)
            continue;
        CNetAttributes record(static_cast<NetworkType>(type));
        record.ParseBlock(*block);
        QJsonObject decoded = RecordJson(record, *block);
        for (const char* key : {"type", "programmed", "block"})
            decoded.remove(QLatin1String(key));
        fields.insert(NetworkTypeName(type), decoded);
    }
    return fields;
}

} // namespace

QByteArray BackupToJson(const Backup& backup) {
    QJsonObject json{
        {"format", FormatName}, {"version", BackupFormatVersion}, {"statusId", HexString(backup.statusId)}};
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type) {
        const auto& block = backup.blocks[type - 1];
        json.insert(NetworkTypeName(type), block ? QJsonValue(HexString(*block)) : QJsonValue());
    }
    json.insert("fields", DecodedFields(backup));
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

std::optional<Backup> BackupFromJson(const QByteArray& json, QString& error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        error =
            QStringLiteral("not JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    if (!document.isObject() || object.value("format") != QLatin1String(FormatName)) {
        error = QStringLiteral("not a %1 file").arg(FormatName);
        return std::nullopt;
    }
    if (object.value("version") != BackupFormatVersion) {
        error = QStringLiteral("format version %1 is not the one this program reads (%2)")
                    .arg(object.value("version").toVariant().toString())
                    .arg(BackupFormatVersion);
        return std::nullopt;
    }
    Backup backup;
    const auto statusId = BytesOfField(object.value("statusId"));
    if (!statusId) {
        error = QStringLiteral("statusId is not a hex string");
        return std::nullopt;
    }
    backup.statusId = *statusId;
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type) {
        const QString name = NetworkTypeName(type);
        const QJsonValue value = object.value(name);
        if (value.isNull())
            continue;
        const auto block = BytesOfField(value);
        if (!block) {
            error = QStringLiteral("%1 is neither null nor a hex string").arg(name);
            return std::nullopt;
        }
        if (const auto fault = BlockFault(*block, type)) {
            error = QStringLiteral("%1 is not a valid block: %2").arg(name, *fault);
            return std::nullopt;
        }
        backup.blocks[type - 1] = *block;
    }
    // Fields that say other than the blocks were edited by hand, and a restore would not do what they say.
    if (object.contains("fields") && object.value("fields") != DecodedFields(backup)) {
        error = QStringLiteral("its fields do not match its blocks (the blocks are what is restored): correct "
                               "the fields or leave them out");
        return std::nullopt;
    }
    return backup;
}
