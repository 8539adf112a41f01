#include "cli/BackupFile.h"

#include "cli/AttributeText.h"
#include "cli/Output.h"
#include "model/AttributeRules.h"
#include "model/NetAttributes.h"
#include "res/FieldbusPageTemplate.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

constexpr char FormatName[] = "talvor-netcfg backup";

std::optional<ByteString> FromHex(const QString& text) {
    static const QRegularExpression hexPairs(QStringLiteral("^([0-9A-Fa-f]{2})*$"));
    if (!hexPairs.match(text).hasMatch())
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    return ByteString(bytes.begin(), bytes.end());
}

// Why `block` is no valid block of `type`, or nothing when it is one.
std::optional<QString> BlockFault(const ByteString& block, int type) {
    const std::size_t length = AttributeBlockLength(type);
    if (block.size() != length)
        return QStringLiteral("%1 bytes where a block has %2").arg(block.size()).arg(length);
    if (((block[0] << 8) | block[1]) != static_cast<int>(length))
        return QStringLiteral("its length field does not match its length");
    if (block[2] != type)
        return QStringLiteral("its type byte is %1").arg(block[2]);
    if (type == NetworkEthernet)
        return std::nullopt;
    CNetAttributes record(static_cast<NetworkType>(type));
    record.ParseBlock(block);
    if (const auto breach = CheckNodeAddress(type, record.m_nNodeAddress))
        return QString::fromUtf8(breach->message);
    if (const auto breach = CheckWordCounts(type, record.m_nInputWords, record.m_nOutputWords))
        return QString::fromUtf8(breach->message);
    if (type == NetworkDeviceNet && record.m_byBaudRate >= BaudRateListData().size())
        return QStringLiteral("its baud rate index %1 is not in the list").arg(record.m_byBaudRate);
    return std::nullopt;
}

} // namespace

QByteArray BackupToJson(const Backup& backup) {
    QJsonObject json{{"format", FormatName},
                     {"version", BackupFormatVersion},
                     {"statusId", HexText(backup.statusId, false)}};
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type) {
        const auto& block = backup.blocks[type - 1];
        json.insert(NetworkTypeName(type), block ? QJsonValue(HexText(*block, false)) : QJsonValue());
    }
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
    const auto statusId = FromHex(object.value("statusId").toString(QStringLiteral("-")));
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
        const auto block = value.isString() ? FromHex(value.toString()) : std::nullopt;
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
    return backup;
}
