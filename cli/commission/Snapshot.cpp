#include "cli/commission/Snapshot.h"

#include "app/NetConfigApp.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "cli/Operations.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "cli/Ports.h"
#include "cli/commission/Csv.h"
#include "cli/commission/Plan.h"
#include "cli/commission/PlanCheck.h"
#include "cli/commission/PortReader.h"
#include "cli/commission/RowChanges.h"
#include "seriallink/network/PortUrl.h"

#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {

struct PortRead {
    ExitStatus status = ExitLinkFailure;
    Backup held;
    QString messages;
};

// The ports but a second name of a device named before (COM1 and its device, a link to it, a server by
// another name of its host): two readers on one line at once would garble each other's exchanges.
QStringList DistinctPorts(const QStringList& ports) {
    QStringList distinct;
    QHash<QString, QString> firstNamed; // by device
    for (const QString& port : ports) {
        PortChoice choice;
        const QString key = ResolvePlanPort(port, choice).isEmpty() ? choice.identity : port;
        if (firstNamed.contains(key)) {
            PrintErrorLine(
                QStringLiteral("%1: the device of %2 again; left out.").arg(port, firstNamed[key]));
            continue;
        }
        firstNamed.insert(key, port);
        distinct << port;
    }
    return distinct;
}

// Every port at once, each on a reader of its own.
std::vector<PortRead> ReadPorts(const QStringList& ports, const Invocation& invocation) {
    std::vector<PortRead> reads(static_cast<std::size_t>(ports.size()));
    std::vector<std::unique_ptr<QThread>> threads;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        PortRead& read = reads[static_cast<std::size_t>(i)];
        threads.emplace_back(QThread::create([&invocation, &read, port = ports[i]] {
            CPortReader reader(port, invocation, StopFlag());
            read.status = reader.Read(read.held);
            read.messages = reader.Messages();
        }));
        threads.back()->start();
    }
    for (const std::unique_ptr<QThread>& thread : threads)
        thread->wait();
    return reads;
}

// The row's name from its port: the device's own name, "com-3" for COM3 (no file may be named COM3 on
// Windows, and backups are named after rows), with "-2", "-3" on where a name is taken in any case.
QString RowName(const QString& port, QSet<QString>& taken) {
    QString base = QFileInfo(port.trimmed()).fileName();
    // A device server's port: its host and TCP port, without what a file name cannot hold.
    std::string malformed;
    if (const std::optional<PortUrl> url = ParsePortUrl(port.trimmed().toStdString(), malformed))
        base = QString::fromStdString(url->host + "-" + std::to_string(url->port)).replace(':', '-');
    const QStringView number = QStringView(base).mid(3);
    if (base.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive) && !number.isEmpty() &&
        std::all_of(number.begin(), number.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        base = QStringLiteral("com-") + number.toString();
    QString name = base;
    for (int n = 2; taken.contains(name.toLower()); ++n)
        name = QStringLiteral("%1-%2").arg(base).arg(n);
    taken.insert(name.toLower());
    return name;
}

// The plan's row for a controller that holds `held`: every field it holds, a type it holds none of left
// empty, and no Ethernet held as disable-ethernet, so that the row asks for what is there.
PlanRow HeldRow(const QString& name, const QString& port, const Backup& held) {
    PlanRow row;
    row.name = name;
    row.port = port;
    row.statusId = held.statusId;
    row.disableEthernet = !held.blocks[NetworkEthernet - 1];
    // What a run would tell changed on a controller that held nothing: each field held, by its column; a
    // baud rate the block holds no rate for is "unknown", and the run keeps it as held.
    for (const FieldChange& field : ChangedFields(Backup{}, held))
        if (field.now != "unknown" && PlanColumns().contains(field.field))
            row.values[field.field] = field.now;
    return row;
}

// Leaves out of each row, in line order, the held values the plan's check would refuse (a MAC ID out of
// range, a gateway outside the subnet, an IP address another row holds): commissioning the plan then
// changes nothing. Returns a note for each value left out.
QStringList LeaveOutRefusedValues(Plan& plan) {
    const PortCheck anyPort = [](const QString& port, PortChoice& choice) {
        choice = {port, port.toStdString(), port, {}};
        return QString();
    };
    const auto problems = [&] {
        Plan trial = plan;
        CheckPlan(trial, {}, anyPort);
        return trial.problems;
    };
    std::vector<OptionValues> held;
    for (PlanRow& row : plan.rows)
        held.push_back(std::exchange(row.values, {}));
    // A run judges the Ethernet addresses together, with what the controller holds: they are kept or
    // left out together.
    static const std::vector<QStringList> together{{"ip", "mask", "gateway"}, {"mac-id"}, {"baud"}, {"node"}};
    QStringList notes;
    std::vector<PlanProblem> before = problems(); // of the values kept so far
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        PlanRow& row = plan.rows[i];
        for (const QStringList& columns : together) {
            QStringList given;
            for (const QString& column : columns)
                if (const auto value = held[i].find(column); value != held[i].end()) {
                    row.values.insert(*value);
                    given << column + ' ' + value->second;
                }
            if (given.isEmpty())
                continue;
            std::vector<PlanProblem> now = problems();
            const auto added = std::find_if(now.begin(), now.end(), [&](const PlanProblem& problem) {
                return std::none_of(before.begin(), before.end(), [&](const PlanProblem& old) {
                    return old.line == problem.line && old.text == problem.text;
                });
            });
            if (added == now.end()) {
                before = std::move(now);
                continue;
            }
            for (const QString& column : columns)
                row.values.erase(column);
            notes << QStringLiteral("%1: %2 left empty in the plan: %3")
                         .arg(row.port, given.join(", "), added->text);
        }
    }
    return notes;
}

// `columns` may name held- columns: they get the fields kept too.
QString PlanLine(const PlanRow& row, const QStringList& columns) {
    std::map<QString, QString> cells = row.values;
    for (const auto& [field, value] : row.values)
        cells["held-" + field] = value;
    cells["name"] = row.name;
    cells["port"] = row.port;
    cells["status-id"] = HexString(*row.statusId);
    if (row.disableEthernet)
        cells["disable-ethernet"] = QStringLiteral("yes");
    QStringList line;
    for (const QString& column : columns)
        line << CsvQuoted(cells[column], ',');
    return line.join(',');
}

ExitStatus WritePlan(const QString& output, const QString& plan) {
    if (output == "-") {
        PrintLine(plan.chopped(1));
        return ExitSuccess;
    }
    // Whole or not at all: a plan of that name is never left half written.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(plan.toUtf8()) < 0 || !file.commit()) {
        return Refuse(theApp, QStringLiteral("Cannot write %1: %2").arg(output, file.errorString()));
    }
    return ExitSuccess;
}

} // namespace

ExitStatus RunSnapshot(const Invocation& invocation) {
    QStringList ports = invocation.arguments;
    if (ports.isEmpty()) {
        if (const ExitStatus status = PresentPortDevices(ports); status != ExitSuccess)
            return status;
    }
    ports = DistinctPorts(ports);
    const std::vector<PortRead> reads = ReadPorts(ports, invocation);
    if (Interrupted()) {
        Complain(theApp, QStringLiteral("Interrupted; no plan was written."));
        return ExitInterrupted;
    }
    Plan held;
    QSet<QString> names;
    // A port named that does not answer leaves the line's plan incomplete; of the ports present, only
    // those with a controller answer.
    ExitStatus unanswered = ExitSuccess;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        const PortRead& read = reads[static_cast<std::size_t>(i)];
        if (read.status != ExitSuccess) {
            PrintErrorLine(
                QStringLiteral("%1: %2; left out of the plan.")
                    .arg(ports[i], read.messages.isEmpty() ? QStringLiteral("no answer") : read.messages));
            if (!invocation.arguments.isEmpty())
                unanswered = WorseOf(unanswered, read.status);
            continue;
        }
        held.rows.push_back(HeldRow(RowName(ports[i], names), ports[i], read.held));
        held.rows.back().line = int(held.rows.size()) + 1;
    }
    for (const QString& note : LeaveOutRefusedValues(held))
        PrintErrorLine(note);
    QStringList columns = PlanColumns();
    if (invocation.held)
        for (const QString& field : HeldFieldColumns())
            columns << "held-" + field;
    QString plan = columns.join(',') + '\n';
    for (const PlanRow& row : held.rows)
        plan += PlanLine(row, columns) + '\n';
    const int rows = int(held.rows.size());
    if (rows == 0) {
        Complain(theApp,
                 QStringLiteral("No controller answered on %1; no plan was written.").arg(ports.join(", ")));
        return ExitLinkFailure;
    }
    if (const ExitStatus status = WritePlan(invocation.output, plan); status != ExitSuccess)
        return status;
    if (invocation.output != "-")
        PrintLine(QStringLiteral("Wrote a plan of %1 %2 to %3.")
                      .arg(rows)
                      .arg(rows == 1 ? QStringLiteral("controller") : QStringLiteral("controllers"),
                           invocation.output));
    return unanswered;
}
