#include "cli/commission/PlanCheck.h"

#include "model/AddressRules.h"
#include "model/Ipv4Address.h"


#include <algorithm>
#include <bit>
#include <map>
#include <set>

namespace {

constexpr qsizetype MaxNameLength = 100;

// Where a name ends in "-before" or "-before-N", in any case, or -1. (Compared by hand: the companion
// uses no QRegularExpression, see CPortWork.)
qsizetype BackupEnding(const QString& name) {
    qsizetype end = name.size();
    while (end > 0 && name[end - 1].isDigit() && name[end - 1].unicode() < 0x80)
        --end;
    if (end < name.size() && end > 0 && name[end - 1] == '-')
        --end;
    else
        end = name.size();
    const QLatin1String before("-before");
    return QStringView(name).left(end).endsWith(before, Qt::CaseInsensitive) ? end - before.size() : -1;
}

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
    // Backup files named so would read as options to the commands given them.
    if (name.startsWith('-'))
        return QStringLiteral("name '%1' may not begin with -: its backup files would read as options")
            .arg(name);
    if (name.endsWith('.') || name.startsWith('.'))
        return QStringLiteral("name '%1' may not begin or end with a dot").arg(name);
    static const QStringList reserved{"CON", "PRN", "AUX", "NUL"};
    const QString stem = name.section('.', 0, 0).toUpper();
    const bool numberedDevice = (stem.startsWith("COM") || stem.startsWith("LPT")) && stem.size() == 4 &&
                                stem[3] >= '0' && stem[3] <= '9';
    if (reserved.contains(stem) || numberedDevice)
        return QStringLiteral("name '%1' is a device name on Windows and cannot name a file").arg(name);
    // A row's backups are NAME-before.json, NAME-before-N.json in later runs, and NAME.json: a name that
    // ends so would overwrite another row's first backup, in this run or in a later one.
    if (const qsizetype ending = BackupEnding(name); ending >= 0)
        return QStringLiteral("name '%1' would write %1.json, where a row named '%2' keeps what its controller "
                              "held; give a name that does not end in -before or -before-N")
            .arg(name, name.left(ending));
    return {};
}

// Names that name one file where file names ignore case or compose accents differently.
QString FileNameKey(const QString& name) {
    return name.normalized(QString::NormalizationForm_C).toCaseFolded();
}

// The address rules on what the row gives, where it gives enough to judge them: an IP address and a
// mask (no gateway meaning none). Otherwise they are applied to what the controller holds, at its row.
std::optional<AddressBreach> AddressFault(const WriteValues& values) {
    if (!values.ip || !values.mask)
        return std::nullopt;
    CNetAttributes record(NetworkEthernet);
    std::copy(values.ip->begin(), values.ip->end(), record.m_byIpAddress);
    std::copy(values.mask->begin(), values.mask->end(), record.m_bySubnetMask);
    const Octets none{};
    const Octets gateway = values.gateway.value_or(none);
    std::copy(gateway.begin(), gateway.end(), record.m_byGateway);
    return UnreachableAddress(record);
}

std::uint32_t Packed(const Octets& octets) {
    const std::uint8_t raw[4]{octets[0], octets[1], octets[2], octets[3]};
    return PackedAddress(raw);
}

// The addresses of a row's network that no other controller may have: the row's gateway and its subnet's
// network and broadcast addresses. Rows whose IP address is refused already are passed over.
void CheckAddressesOfOtherRows(Plan& plan, const std::set<const PlanRow*>& ipRefused) {
    struct Taken {
        const PlanRow* row;
        const char* what;
    };
    std::multimap<std::uint32_t, Taken> taken; // rows of one address in line order
    for (const PlanRow& row : plan.rows) {
        const WriteValues& values = row.parsed;
        if (values.gateway && Packed(*values.gateway) != 0)
            taken.emplace(Packed(*values.gateway), Taken{&row, "the gateway"});
        if (!values.ip || !values.mask)
            continue;
        const std::uint32_t mask = Packed(*values.mask);
        const int prefix = std::countl_one(mask);
        // Where there is no subnet to speak of, the row's own check has refused the mask.
        if (prefix + std::countr_zero(mask) < 32 || prefix == 0 || prefix >= 31)
            continue;
        const std::uint32_t network = Packed(*values.ip) & mask;
        taken.emplace(network, Taken{&row, "the network address of the subnet"});
        taken.emplace(network | ~mask, Taken{&row, "the broadcast address of the subnet"});
    }
    for (const PlanRow& row : plan.rows) {
        if (!row.parsed.ip || ipRefused.contains(&row))
            continue;
        const auto [from, to] = taken.equal_range(Packed(*row.parsed.ip));
        const auto other = std::find_if(from, to, [&](const auto& entry) { return entry.second.row != &row; });
        if (other != to)
            plan.problems.push_back({row.line, QStringLiteral("IP address %1 is %2 of line %3 (%4)")
                                                   .arg(row.values.at("ip"), other->second.what)
                                                   .arg(other->second.row->line)
                                                   .arg(other->second.row->name)});
    }
}

// Two rows reaching one device write one controller one after the other, unless a cable is carried
// from controller to controller.
QString SharedPortText(const PlanRow& row, const PlanRow& first) {
    const QString named = first.port == row.port ? QString() : QStringLiteral(", as %1").arg(first.port);
    return QStringLiteral("port %1 is also the port of line %2 (%3%4); two rows on one controller need --wait or "
                          "--ask")
        .arg(row.port)
        .arg(first.line)
        .arg(first.name, named);
}

// Whether one controller could hold what both rows name: no field both name differs.
bool HeldAlike(const PlanRow& a, const PlanRow& b) {
    return std::all_of(a.heldValues.begin(), a.heldValues.end(), [&](const auto& cell) {
        const auto other = b.heldValues.find(cell.first);
        return other == b.heldValues.end() || SameOptionValue(cell.first, cell.second, other->second);
    });
}

// Rows of one device are told apart by what their controllers hold: two rows naming the same would both
// take the first controller that holds it.
void CheckHeldValuesApart(Plan& plan) {
    std::map<QString, std::vector<const PlanRow*>> rowsOf; // by device
    for (const PlanRow& row : plan.rows) {
        if (row.heldValues.empty() || row.choice.identity.isEmpty())
            continue;
        std::vector<const PlanRow*>& rows = rowsOf[row.choice.identity];
        const auto same = std::find_if(rows.begin(), rows.end(),
                                       [&](const PlanRow* other) { return HeldAlike(*other, row); });
        if (same != rows.end())
            plan.problems.push_back(
                {row.line, QStringLiteral("a controller holding the held- values of line %1 (%2) "
                                          "holds these too: rows on one port must name "
                                          "controllers apart")
                               .arg((*same)->line)
                               .arg((*same)->name)});
        rows.push_back(&row);
    }
}

// The first row on the device `row` reaches, or none; the row's device is then known by every name it has.
// A device server's port is one device under each address its host has.
const PlanRow* SameDevice(std::map<QString, const PlanRow*>& devices, const PlanRow& row) {
    const QStringList names =
        row.choice.addresses.isEmpty() ? QStringList{row.choice.identity} : row.choice.addresses;
    const PlanRow* first = nullptr;
    for (const QString& name : names)
        if (const auto found = devices.find(name); found != devices.end() && !first)
            first = found->second;
    for (const QString& name : names)
        devices.emplace(name, first ? first : &row);
    return first;
}

} // namespace

void CheckPlan(Plan& plan, const PlanCheckOptions& options, const PortCheck& lookUpPort) {
    std::map<QString, int> names;
    std::map<Octets, int> addresses;
    std::map<QString, std::pair<QString, PortChoice>> ports; // as named: the refusal or the choice
    std::map<QString, const PlanRow*> devices;               // by each name: the first row on it
    std::set<const PlanRow*> ipRefused;
    for (PlanRow& row : plan.rows) {
        const auto problem = [&](const QString& text) { plan.problems.push_back({row.line, text}); };
        if (const QString fault = NameFault(row.name); !fault.isEmpty())
            problem(fault);
        else if (const auto [first, added] = names.emplace(FileNameKey(row.name), row.line); !added)
            problem(QStringLiteral("name '%1' is also on line %2").arg(row.name).arg(first->second));
        if (row.port.isEmpty()) {
            problem(QStringLiteral("the row has no port"));
        } else {
            auto [looked, firstTime] = ports.try_emplace(row.port);
            auto& [refused, choice] = looked->second;
            if (firstTime)
                refused = lookUpPort(row.port, choice);
            row.choice = choice;
            if (!refused.isEmpty())
                problem(refused);
            else if (const PlanRow* first = SameDevice(devices, row)) {
                row.choice.identity = first->choice.identity;
                if (!options.cableCarried)
                    problem(SharedPortText(row, *first));
            }
        }

        for (const QString& refusal : ParseWriteValues(row.values, QString(), row.parsed))
            problem(refusal);
        for (const QString& refusal : ParseWriteValues(row.heldValues, QStringLiteral("held-"), row.held))
            problem(refusal.contains(QLatin1String("held-")) ? refusal : QStringLiteral("held-: ") + refusal);
        if (row.disableEthernet && row.parsed.Touches(NetworkEthernet))
            problem(QStringLiteral("disable-ethernet and Ethernet addresses on the same row"));
        if (const auto fault = options.force ? std::nullopt : AddressFault(row.parsed)) {
            problem(QString::fromStdString(fault->text));
            if (fault->blamed == EthernetAddress::Ip)
                ipRefused.insert(&row);
        }
        if (row.parsed.ip) {
            if (const auto [first, added] = addresses.emplace(*row.parsed.ip, row.line); !added) {
                problem(QStringLiteral("IP address %1 is also given on line %2")
                            .arg(row.values.at("ip"))
                            .arg(first->second));
                ipRefused.insert(&row);
            }
        }
    }
    CheckAddressesOfOtherRows(plan, ipRefused);
    CheckHeldValuesApart(plan);
    std::stable_sort(plan.problems.begin(), plan.problems.end(),
                     [](const PlanProblem& a, const PlanProblem& b) { return a.line < b.line; });
}
