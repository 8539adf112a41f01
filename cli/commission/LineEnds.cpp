#include "cli/commission/LineEnds.h"

#include "cli/commission/Plan.h"
#include "model/NetAttributes.h"

#include <algorithm>

namespace {

std::optional<Octets> IpHeld(const Backup& held) {
    const std::optional<ByteString>& block = held.blocks[NetworkEthernet - 1];
    if (!block)
        return std::nullopt;
    CNetAttributes record(NetworkEthernet);
    record.ParseBlock(*block);
    const std::uint8_t* ip = record.m_byIpAddress;
    return Octets{ip[0], ip[1], ip[2], ip[3]};
}

QString Text(const Octets& ip) {
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

} // namespace

std::optional<QString> EndIpClash(const PlanRow& row, const Backup& end, const std::vector<PlanRow>& plan,
                                  const std::vector<EndedRow>& ended) {
    const std::optional<Octets> ip = IpHeld(end);
    if (!ip)
        return std::nullopt;
    const QString ending = QStringLiteral("row %1 (line %2) would end with IP address %3, which ")
                               .arg(row.name)
                               .arg(row.line)
                               .arg(Text(*ip));
    for (const PlanRow& other : plan)
        if (other.line != row.line && other.parsed.ip == ip)
            return ending + QStringLiteral("row %1 (line %2) plans for its controller")
                                .arg(other.name)
                                .arg(other.line);
    for (const EndedRow& other : ended)
        // Controllers that keep alike what the plan leaves as it is (a fresh line's default address) are
        // no clash the run makes.
        if (other.line != row.line && other.ip == *ip && (other.written || row.parsed.ip))
            return ending + QStringLiteral("the controller of row %1 (line %2) ended with")
                                .arg(other.name)
                                .arg(other.line);
    return std::nullopt;
}

std::optional<QString> CCarriedLine::Claim(const PlanRow& row, const Backup& end) {
    const std::lock_guard lock(m_mutex);
    if (std::optional<QString> clash = EndIpClash(row, end, m_plan, m_ended))
        return clash;
    std::erase_if(m_ended, [&](const EndedRow& ended) { return ended.line == row.line; });
    if (const std::optional<Octets> ip = IpHeld(end))
        m_ended.push_back({row.line, row.name, *ip, row.parsed.ip.has_value()});
    return std::nullopt;
}
