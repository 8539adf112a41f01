#include "cli/AttributeText.h"

#include "cli/Output.h"
#include "model/BaudRates.h"
#include "model/Ipv4Address.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <limits>
#include <tuple>
#include <utility>
#include <vector>

namespace {

constexpr std::array TypeNames{std::pair{NetworkEthernet, "ethernet"},
                               std::pair{NetworkDeviceNet, "devicenet"},
                               std::pair{NetworkProfibus, "profibus"}};

QString AddressText(const std::uint8_t (&octets)[4]) {
    return QString::fromStdString(DottedQuad(octets));
}

// The rate in kb/s of a block's baud-rate byte; none for a byte beyond the list.
std::optional<int> BaudRateKilobits(std::uint8_t index) {
    if (index >= DeviceNetBaudRatesKbps.size())
        return std::nullopt;
    return DeviceNetBaudRatesKbps[index];
}

// A time travels as one byte in units of 10 s; the record holds it as a signed byte.
int TimeByte(int time) {
    return time & 0xFF;
}

// Label and value of each field a type's record carries in its block.
std::vector<std::pair<QString, QJsonValue>> Fields(const CNetAttributes& record) {
    switch (record.m_nType) {
    case NetworkEthernet:
        return {{"ipAddress", AddressText(record.m_byIpAddress)},
                {"subnetMask", AddressText(record.m_bySubnetMask)},
                {"gateway", AddressText(record.m_byGateway)},
                {"timeout", TimeByte(record.m_nTimeout)},
                {"pollTime", TimeByte(record.m_nPollTime)}};
    case NetworkDeviceNet: {
        const auto baud = BaudRateKilobits(record.m_byBaudRate);
        return {
            {"macId", record.m_nNodeAddress},         {"baudRate", baud ? QJsonValue(*baud) : QJsonValue()},
            {"consumedWords", record.m_nInputWords},  {"producedWords", record.m_nOutputWords},
            {"timeout", TimeByte(record.m_nTimeout)}, {"pollTime", TimeByte(record.m_nPollTime)}};
    }
    default:
        return {{"nodeAddress", record.m_nNodeAddress},
                {"inputWords", record.m_nInputWords},
                {"outputWords", record.m_nOutputWords},
                {"timeout", TimeByte(record.m_nTimeout)},
                {"pollTime", TimeByte(record.m_nPollTime)}};
    }
}

} // namespace

std::optional<NetworkType> NetworkTypeNamed(const QString& name) {
    for (const auto& [type, typeName] : TypeNames)
        if (name.compare(QLatin1String(typeName), Qt::CaseInsensitive) == 0)
            return type;
    return std::nullopt;
}

QString NetworkTypeName(int type) {
    for (const auto& [known, typeName] : TypeNames)
        if (type == known)
            return QString::fromLatin1(typeName);
    return QString::number(type);
}

QJsonObject RecordJson(const CNetAttributes& record, const ByteString& block) {
    QJsonObject json{{"type", NetworkTypeName(record.m_nType)}, {"programmed", true}};
    for (const auto& [name, value] : Fields(record))
        json.insert(name, value);
    json.insert("block", HexString(block));
    return json;
}

namespace {

QString FieldText(const QString& name, const QJsonValue& value) {
    if (value.isString())
        return value.toString();
    if (value.isNull())
        return QStringLiteral("unknown");
    const int number = value.toInt();
    return name == "timeout" || name == "pollTime" ? QStringLiteral("%1 (%2 s)").arg(number).arg(number * 10)
                                                   : QString::number(number);
}

} // namespace

QString RecordText(const CNetAttributes& record) {
    QStringList lines;
    for (const auto& [name, value] : Fields(record))
        lines << QStringLiteral("%1 %2").arg(name + ':', -15).arg(FieldText(name, value));
    return lines.join('\n');
}

namespace {

// Each field of either record, by its JSON key, with its value on each side (null for a side that is none).
std::vector<std::tuple<QString, QJsonValue, QJsonValue>> FieldPairs(const CNetAttributes* held,
                                                                    const CNetAttributes* wanted) {
    const auto fields = [](const CNetAttributes* record) {
        return record ? Fields(*record) : std::vector<std::pair<QString, QJsonValue>>();
    };
    const auto heldFields = fields(held);
    const auto wantedFields = fields(wanted);
    const auto valueIn = [](const auto& list, const QString& name) {
        const auto found =
            std::find_if(list.begin(), list.end(), [&](const auto& f) { return f.first == name; });
        return found == list.end() ? QJsonValue() : found->second;
    };
    std::vector<std::tuple<QString, QJsonValue, QJsonValue>> pairs;
    for (const auto& field : wantedFields.empty() ? heldFields : wantedFields)
        pairs.emplace_back(field.first, valueIn(heldFields, field.first), valueIn(wantedFields, field.first));
    return pairs;
}

} // namespace

QString FieldChangesText(const CNetAttributes* held, const CNetAttributes* wanted) {
    // A side that is none is said once, not per field.
    if (!held || !wanted) {
        QStringList fields;
        for (const auto& [name, value] : Fields(held ? *held : *wanted))
            fields << QStringLiteral("%1 %2").arg(name, FieldText(name, value));
        return held ? fields.join(QStringLiteral(", ")) + QStringLiteral(" -> none")
                    : QStringLiteral("none -> ") + fields.join(QStringLiteral(", "));
    }
    QStringList changes;
    for (const auto& [name, before, after] : FieldPairs(held, wanted))
        if (before != after)
            changes
                << QStringLiteral("%1 %2 -> %3").arg(name, FieldText(name, before), FieldText(name, after));
    return changes.join(QStringLiteral(", "));
}

QJsonObject FieldChangesJson(const CNetAttributes* held, const CNetAttributes* wanted) {
    QJsonObject changes;
    for (const auto& [name, before, after] : FieldPairs(held, wanted))
        if (before != after || !held || !wanted)
            changes.insert(name, QJsonObject{{"held", held ? before : QJsonValue()},
                                             {"restored", wanted ? after : QJsonValue()}});
    return changes;
}

std::optional<int> WholeNumber(const QString& text) {
    // Compared, not matched with QRegularExpression: commissioning workers run this (see CPortWork).
    const QStringView digits = QStringView(text).mid(text.startsWith('+') || text.startsWith('-') ? 1 : 0);
    if (digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool fits = false;
    const int value = text.toInt(&fits);
    if (fits)
        return value;
    return text.startsWith('-') ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
}

std::optional<QString> NumberRefusal(const QString& what, const QString& text, int low, int high) {
    const std::optional<int> value = WholeNumber(text);
    if (!value)
        return QStringLiteral("%1 '%2' is not a number").arg(what, text);
    if (*value < low || *value > high)
        return QStringLiteral("%1 %2 is out of range %3-%4").arg(what, text).arg(low).arg(high);
    return std::nullopt;
}

QString ChangedFieldsText(const CNetAttributes& record, const QStringList& names) {
    QStringList shown;
    for (const auto& [name, value] : Fields(record))
        if (names.contains(name))
            shown << QStringLiteral("%1 %2").arg(name, FieldText(name, value));
    return shown.join(QStringLiteral(", "));
}

bool ParseIpAddress(const QString& text, std::uint8_t (&octets)[4]) {
    const QStringList parts = text.split('.');
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        bool number = false;
        const int value = parts[i].toInt(&number);
        const bool digitsOnly =
            !parts[i].isEmpty() && parts[i].size() <= 3 &&
            std::all_of(parts[i].begin(), parts[i].end(), [](QChar c) { return c.isDigit(); });
        if (!number || !digitsOnly || value > 255)
            return false;
        octets[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

std::optional<std::uint8_t> BaudRateIndex(const QString& kilobits) {
    // The unit as people write it after the number, or nothing: kb/s is what the number means anyway.
    static const QRegularExpression rate(QStringLiteral("^\\s*([0-9]+)\\s*(k|kb/s|kbps|kbit/s)?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = rate.match(kilobits);
    for (std::uint8_t index = 0; match.hasMatch() && index < DeviceNetBaudRatesKbps.size(); ++index)
        if (QString::number(DeviceNetBaudRatesKbps[index]) == match.captured(1))
            return index;
    return std::nullopt;
}
