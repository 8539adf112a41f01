#include "cli/commission/PlanCheck.h"
#include "model/AddressRules.h"

#include <algorithm>
#include <map>

namespace {

constexpr qsizetype MaxNameLength = 100;

// Names become backup file names on Windows and POSIX alike.
QString NameFault(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("the row has no name");
    if (name.size() > MaxNameLength)
        return QStringLiteral("name '%1' is longer than %2 characters").arg(name.left(20) + "...").arg(MaxNameLength);
    for (const QChar c : name)
        if (c.unicode() < 0x20 || QStringLiteral("<>:\"/\\|?*").contains(c))
            return QStringLiteral("name '%1' holds a character a file name cannot have (%2)")
                .arg(name, c.unicode() < 0x20 ? QStringLiteral("a control character") : QString(c));
    if (name.endsWith('.') || name.startsWith('.'))
        return QStringLiteral("name '%1' may not begin or end with a dot").arg(name);
    static const QStringList reserved{"CON", "PRN", "AUX", "NUL"};
    const QString stem = name.section('.', 0, 0).toUpper();
    const bool numberedDevice = (stem.startsWith("COM") || stem.startsWith("LPT")) && stem.size() == 4 &&
                                stem[3] >= '0' && stem[3] <= '9';
    if (reserved.contains(stem) || numberedDevice)
        return QStringLiteral("name '%1' is a device name on Windows and cannot name a file").arg(name);
    return {};
}

// The address rules on what the row gives, where it gives enough to judge them: an IP address and a
// mask (no gateway meaning none). Otherwise they are applied to what the controller holds, at its row.
std::optional<QString> AddressFault(const WriteValues& values) {
    if (!values.ip || !values.mask)
        return std::nullopt;
    CNetAttributes record(NetworkEthernet);
    std::copy(values.ip->begin(), values.ip->end(), record.m_byIpAddress);
    std::copy(values.mask->begin(), values.mask->end(), record.m_bySubnetMask);
    const Octets none{};
    const Octets gateway = values.gateway.value_or(none);
    std::copy(gateway.begin(), gateway.end(), record.m_byGateway);
    if (const auto breach = UnreachableAddress(record))
        return QString::fromStdString(breach->text);
    return std::nullopt;
}

} // namespace

void CheckPlan(Plan& plan, bool force, const PortCheck& checkPort) {
    std::map<QString, int> names; // folded to lower case: file systems that ignore case would merge them
    std::map<Octets, int> addresses;
    for (PlanRow& row : plan.rows) {
        const auto problem = [&](const QString& text) { plan.problems.push_back({row.line, text}); };
        if (const QString fault = NameFault(row.name); !fault.isEmpty())
            problem(fault);
        else if (const auto [first, added] = names.emplace(row.name.toLower(), row.line); !added)
            problem(QStringLiteral("name '%1' is also on line %2").arg(row.name).arg(first->second));
        if (row.port.isEmpty())
            problem(QStringLiteral("the row has no port"));
        else if (const QString refused = checkPort(row.port); !refused.isEmpty())
            problem(refused);

        for (const QString& refusal : ParseWriteValues(row.values, QString(), row.parsed))
            problem(refusal);
        if (row.disableEthernet && row.parsed.Touches(NetworkEthernet))
            problem(QStringLiteral("disable-ethernet and Ethernet addresses on the same row"));
        if (!force)
            if (const auto fault = AddressFault(row.parsed))
                problem(*fault);
        if (row.parsed.ip) {
            if (const auto [first, added] = addresses.emplace(*row.parsed.ip, row.line); !added)
                problem(QStringLiteral("IP address %1 is also given on line %2")
                            .arg(row.values.at("ip"))
                            .arg(first->second));
        }
    }
    std::stable_sort(plan.problems.begin(), plan.problems.end(),
                     [](const PlanProblem& a, const PlanProblem& b) { return a.line < b.line; });
}
