#include "cli/AttributeText.h"

#include "cli/Output.h"
#include "res/FieldbusPageTemplate.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

constexpr std::array TypeNames{std::pair{NetworkEthernet, "ethernet"},
                               std::pair{NetworkDeviceNet, "devicenet"},
                               std::pair{NetworkProfibus, "profibus"}};

QString AddressText(const std::uint8_t (&octets)[4]) {
    return QStringLiteral("%1.%2.%3.%4").arg(octets[0]).arg(octets[1]).arg(octets[2]).arg(octets[3]);
}

// The baud rate list's text without its unit, e.g. "125"; none for an index beyond the list.
std::optional<QString> BaudRateKilobits(std::uint8_t index) {
    if (index >= BaudRateListData().size())
        return std::nullopt;
    return BaudRateListData().at(index).section(' ', 0, 0);
}

// Label and value of each field a type's record carries in its block.
std::vector<std::pair<QString, QJsonValue>> Fields(const CNetAttributes& record) {
    switch (record.m_nType) {
    case NetworkEthernet:
        return {{"ipAddress", AddressText(record.m_byIpAddress)},
                {"subnetMask", AddressText(record.m_bySubnetMask)},
                {"gateway", AddressText(record.m_byGateway)},
                {"timeout", record.m_nTimeout},
                {"pollTime", record.m_nPollTime}};
    case NetworkDeviceNet: {
        const auto baud = BaudRateKilobits(record.m_byBaudRate);
        return {{"macId", record.m_nNodeAddress},
                {"baudRate", baud ? QJsonValue(baud->toInt()) : QJsonValue()},
                {"consumedWords", record.m_nInputWords},
                {"producedWords", record.m_nOutputWords},
                {"timeout", record.m_nTimeout},
                {"pollTime", record.m_nPollTime}};
    }
    default:
        return {{"nodeAddress", record.m_nNodeAddress},
                {"inputWords", record.m_nInputWords},
                {"outputWords", record.m_nOutputWords},
                {"timeout", record.m_nTimeout},
                {"pollTime", record.m_nPollTime}};
    }
}

} // namespace

std::optional<NetworkType> NetworkTypeNamed(const QString& name) {
    for (const auto& [type, typeName] : TypeNames)
        if (name == QLatin1String(typeName))
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
    json.insert("block", HexText(block, false));
    return json;
}

QString RecordText(const CNetAttributes& record) {
    QStringList lines;
    for (const auto& [name, value] : Fields(record)) {
        const QString shown = value.isString() ? value.toString()
                              : value.isNull()
                                  ? QStringLiteral("unknown (list index %1)").arg(record.m_byBaudRate)
                                  : QString::number(value.toInt());
        lines << QStringLiteral("%1 %2").arg(name + ':', -15).arg(shown);
    }
    return lines.join('\n');
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
    for (std::uint8_t index = 0; index < BaudRateListData().size(); ++index)
        if (BaudRateKilobits(index) == kilobits)
            return index;
    return std::nullopt;
}
