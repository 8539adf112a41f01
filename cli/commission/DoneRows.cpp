#include "cli/commission/DoneRows.h"

#include "cli/commission/CommissionReport.h"
#include "cli/commission/Plan.h"

#include <algorithm>

namespace {

bool HoldsWritten(const WriteValues& written, const Backup& held) {
    if (written.ip) {
        const auto& block = held.blocks[NetworkEthernet - 1];
        if (!block)
            return false;
        CNetAttributes record(NetworkEthernet);
        record.ParseBlock(*block);
        return std::equal(written.ip->begin(), written.ip->end(), record.m_byIpAddress);
    }
    bool any = false;
    for (const NetworkType type : {NetworkEthernet, NetworkDeviceNet, NetworkProfibus}) {
        if (!written.Touches(type))
            continue;
        any = true;
        const auto& block = held.blocks[type - 1];
        if (!block)
            return false;
        CNetAttributes record(type);
        record.ParseBlock(*block);
        CNetAttributes applied = record;
        QStringList set;
        if (ApplyWriteValues(written, applied, true, set) || applied.BuildBlock() != record.BuildBlock())
            return false;
    }
    return any;
}

// Values every controller holds as it comes tell none apart: a new controller holds them too.
bool TellsControllersApart(const WriteValues& written) {
    Backup defaults;
    for (const NetworkType type : {NetworkEthernet, NetworkDeviceNet, NetworkProfibus})
        defaults.blocks[type - 1] = CNetAttributes(type).BuildBlock();
    return !HoldsWritten(written, defaults);
}

} // namespace

void CDoneRows::Add(const PlanRow& row) {
    if (!TellsControllersApart(row.parsed))
        return;
    const std::lock_guard lock(m_mutex);
    m_rows.push_back({row.line, row.name, row.parsed});
}

void CDoneRows::Add(const RowRecord& record) {
    if (record.outcome != RowOutcome::Commissioned && record.outcome != RowOutcome::Unchanged)
        return;
    WriteValues values;
    ParseWriteValues(record.values, QString(), values);
    if (!TellsControllersApart(values))
        return;
    const std::lock_guard lock(m_mutex);
    m_rows.push_back({record.line, record.name, values});
}

std::optional<QString> CDoneRows::Holder(const PlanRow& row, const Backup& held) const {
    const std::lock_guard lock(m_mutex);
    for (const Done& done : m_rows)
        // A row's own earlier run did its own controller. Rows asking for the same values cannot tell their
        // controllers apart by them, and nothing would be overwritten: rerunning such rows is no fault.
        if (done.name != row.name && !(done.values == row.parsed) && HoldsWritten(done.values, held))
            return QStringLiteral("holds what row %1 (line %2) wrote: a controller already done")
                .arg(done.name)
                .arg(done.line);
    return std::nullopt;
}
