#include "cli/WriteValues.h"

#include "cli/AttributeText.h"
#include "model/AddressRules.h"
#include "model/AttributeRules.h"
#include "model/BaudRates.h"

#include <algorithm>

namespace {

// An address within its type's range, or the refusal.
std::optional<int> NodeAddress(const QString& text, NetworkType type, QStringList& refusals) {
    const auto refusal = type == NetworkDeviceNet ? NumberRefusal("MAC ID", text, MacIdMin, MacIdMax)
                                                  : NumberRefusal("Node address", text, NodeAddressMin, NodeAddressMax);
    if (!refusal)
        return WholeNumber(text);
    refusals << *refusal;
    return std::nullopt;
}

void Copy(const std::optional<Octets>& given, std::uint8_t (&octets)[4], const char* field,
          QStringList& changed) {
    if (!given)
        return;
    std::copy(given->begin(), given->end(), octets);
    changed << field;
}

} // namespace

bool WriteValues::Touches(NetworkType type) const {
    switch (type) {
    case NetworkEthernet:
        return ip || mask || gateway;
    case NetworkDeviceNet:
        return macId || baudRate;
    case NetworkProfibus:
        return node.has_value();
    default:
        return false;
    }
}

QStringList ParseWriteValues(const OptionValues& given, const QString& prefix, WriteValues& values) {
    QStringList refusals;
    if (const auto macId = given.find("mac-id"); macId != given.end())
        values.macId = NodeAddress(macId->second, NetworkDeviceNet, refusals);
    if (const auto node = given.find("node"); node != given.end())
        values.node = NodeAddress(node->second, NetworkProfibus, refusals);
    if (const auto baud = given.find("baud"); baud != given.end()) {
        values.baudRate = BaudRateIndex(baud->second);
        if (!values.baudRate) {
            QStringList rates;
            for (const int rate : DeviceNetBaudRatesKbps)
                rates << QString::number(rate);
            refusals << QStringLiteral("Baud rate %1 is not one of %2 kb/s").arg(baud->second, rates.join(", "));
        }
    }
    for (const auto& [option, address] :
         {std::pair{"ip", &values.ip}, std::pair{"mask", &values.mask}, std::pair{"gateway", &values.gateway}}) {
        const auto text = given.find(option);
        if (text == given.end())
            continue;
        std::uint8_t octets[4];
        if (ParseIpAddress(text->second, octets))
            *address = Octets{octets[0], octets[1], octets[2], octets[3]};
        else
            refusals << QStringLiteral("Invalid address for %1%2: '%3'. Give four numbers 0 to 255, such as "
                                       "192.168.1.10")
                            .arg(prefix, option, text->second);
    }
    return refusals;
}

std::optional<ValueRefusal> ApplyWriteValues(const WriteValues& values, CNetAttributes& record, bool force,
                                             QStringList& changed) {
    switch (record.m_nType) {
    case NetworkEthernet:
        Copy(values.ip, record.m_byIpAddress, "ipAddress", changed);
        Copy(values.mask, record.m_bySubnetMask, "subnetMask", changed);
        Copy(values.gateway, record.m_byGateway, "gateway", changed);
        if (force)
            return std::nullopt;
        if (const auto unreachable = UnreachableAddress(record)) {
            const std::array<const std::optional<Octets>*, 3> given{&values.ip, &values.mask, &values.gateway};
            const bool held = !*given[static_cast<std::size_t>(unreachable->blamed)];
            return ValueRefusal{QString::fromStdString(unreachable->text), true,
                                held ? std::optional(unreachable->blamed) : std::nullopt};
        }
        return std::nullopt;
    case NetworkDeviceNet:
        if (values.macId) {
            record.m_nNodeAddress = *values.macId;
            changed << "macId";
        }
        if (values.baudRate) {
            record.m_byBaudRate = *values.baudRate;
            changed << "baudRate";
        }
        break;
    case NetworkProfibus:
        if (values.node) {
            record.m_nNodeAddress = *values.node;
            changed << "nodeAddress";
        }
        break;
    default:
        return std::nullopt;
    }
    // The word counts come from the controller and go back unchanged, if the utility would accept them.
    if (const auto breach = CheckWordCounts(record.m_nType, record.m_nInputWords, record.m_nOutputWords))
        return ValueRefusal{QStringLiteral("%1 (the controller holds %2 and %3 words)")
                                .arg(QString::fromUtf8(breach->message))
                                .arg(record.m_nInputWords)
                                .arg(record.m_nOutputWords),
                            false, std::nullopt};
    return std::nullopt;
}

bool SameOptionValue(const QString& name, const QString& a, const QString& b) {
    WriteValues first, second;
    ParseWriteValues({{name, a}}, QString(), first);
    ParseWriteValues({{name, b}}, QString(), second);
    return first == second && !(first == WriteValues{});
}
