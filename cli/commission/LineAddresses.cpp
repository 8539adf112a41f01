#include "cli/commission/LineAddresses.h"

#include "cli/commission/Plan.h"
#include "model/NetAttributes.h"

#include <algorithm>
#include <map>

namespace {

struct EndAddress {
    Octets ip;
    bool written; // the row writes it, rather than keeping what its controller holds
};

std::optional<EndAddress> EndAddressOf(const HeldRow& held) {
    const PlanRow& row = *held.row;
    if (row.disableEthernet)
        return std::nullopt;
    if (row.parsed.ip)
        return EndAddress{*row.parsed.ip, true};
    if (!held.held || !held.held->blocks[NetworkEthernet - 1])
        return std::nullopt;
    CNetAttributes record(NetworkEthernet);
    record.ParseBlock(*held.held->blocks[NetworkEthernet - 1]);
    EndAddress kept{{}, false};
    std::copy(record.m_byIpAddress, record.m_byIpAddress + kept.ip.size(), kept.ip.begin());
    return kept;
}

QString RowText(const PlanRow& row, bool written) {
    return QStringLiteral("row %1 (line %2) %3").arg(row.name).arg(row.line).arg(written ? "writes" : "keeps");
}

} // namespace

std::optional<QString> TwiceHeldAddress(const std::vector<HeldRow>& rows) {
    std::map<Octets, std::vector<std::pair<const PlanRow*, bool>>> ends;
    for (const HeldRow& held : rows)
        if (const std::optional<EndAddress> end = EndAddressOf(held))
            ends[end->ip].emplace_back(held.row, end->written);
    for (auto& [ip, holders] : ends) {
        // The writer first, then the row that keeps it (two rows never write one address: the check
        // refuses that).
        std::stable_sort(holders.begin(), holders.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        if (holders.size() < 2 || !holders.front().second)
            continue;
        return QStringLiteral("%1 and %2 IP address %3.%4.%5.%6: the line would hold it twice; nothing was written.")
            .arg(RowText(*holders[0].first, true), RowText(*holders[1].first, holders[1].second))
            .arg(ip[0])
            .arg(ip[1])
            .arg(ip[2])
            .arg(ip[3]);
    }
    return std::nullopt;
}
