#include "cli/commission/CommissionCommand.h"

#include "cli/CommandLine.h"
#include "cli/Operations.h"
#include "cli/commission/CommissionLog.h"
#include "cli/commission/CommissionRow.h"
#include "cli/commission/LineAddresses.h"
#include "cli/Interruption.h"
#include "cli/Output.h"
#include "cli/commission/PlanCheck.h"
#include "cli/commission/Preview.h"
#include "cli/commission/RunSummary.h"
#include "cli/commission/WaitLimit.h"
#include "cli/PortChoice.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <cerrno>
#include <cstdio>
#include <map>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

int Refuse(const Invocation& invocation, const QString& message, ExitStatus status = ExitRefused) {
    if (invocation.json)
        PrintJson(QJsonObject{{"error", message}, {"exitStatus", status}});
    PrintErrorLine(message);
    return status;
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return ::_isatty(::_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

void WriteError(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

// A line typed by the technician; nothing at the end of input or once the run stops.
std::optional<QString> ReadAnswer(const std::atomic<bool>& stop) {
#ifndef _WIN32
    // Read a byte at a time past the C library's buffer, so that answers given ahead (piped, or typed
    // before their question) are each there for their own question, and polled, so that Ctrl-C ends a
    // question as it ends a wait.
    QByteArray line;
    for (;;) {
        if (stop.load())
            return std::nullopt;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, 200) <= 0)
            continue;
        char byte = 0;
        const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return line.isEmpty() ? std::nullopt : std::optional(QString::fromLocal8Bit(line));
        if (byte == '\n')
            return QString::fromLocal8Bit(line);
        if (line.size() < 256)
            line += byte;
    }
#else
    char line[256];
    if (stop.load() || !std::fgets(line, sizeof line, stdin))
        return std::nullopt;
    return QString::fromLocal8Bit(line);
#endif
}

// Drops the keys pressed before a question is shown, so that an Enter pressed twice for one question
// does not answer the next. Answers piped from a script are no keys pressed ahead: they keep their order.
void DiscardTypedAhead() {
#ifdef _WIN32
    if (::_isatty(::_fileno(stdin)))
        ::FlushConsoleInputBuffer(::GetStdHandle(STD_INPUT_HANDLE));
#else
    if (::isatty(STDIN_FILENO))
        ::tcflush(STDIN_FILENO, TCIFLUSH);
#endif
}

QString WritesText(const PlanRow& row) {
    QStringList parts;
    for (const auto& [column, value] : row.values)
        parts << column + ' ' + value;
    parts.sort();
    if (row.disableEthernet)
        parts << QStringLiteral("disable ethernet");
    QString text = parts.isEmpty() ? QStringLiteral("nothing (backups only)") : parts.join(", ");
    if (row.statusId)
        text += QStringLiteral("; status id must be %1").arg(HexString(*row.statusId));
    return text;
}

int DryRun(const Invocation& invocation, const Plan& plan) {
    QJsonArray rows;
    for (const PlanRow& row : plan.rows) {
        if (invocation.json)
            rows.append(QJsonObject{{"line", row.line},
                                    {"name", row.name},
                                    {"port", row.port},
                                    {"values", ValuesJson(RowValues(row))}});
        else
            PrintLine(QStringLiteral("%1 on %2 (line %3) would get: %4")
                          .arg(row.name, row.port)
                          .arg(row.line)
                          .arg(WritesText(row)));
    }
    if (invocation.json)
        PrintJson(QJsonObject{{"plan", invocation.arguments.first()}, {"dryRun", true}, {"rows", rows}});
    else
        PrintLine(QStringLiteral("%1 checked; nothing was written.").arg(Counted(plan.rows.size(), "row")));
    return ExitSuccess;
}

int ReportProblems(const Invocation& invocation, const Plan& plan) {
    const QString file = PlanFileName(invocation.arguments.first());
    QJsonArray problems;
    for (const PlanProblem& problem : plan.problems) {
        problems.append(QJsonObject{{"line", problem.line}, {"problem", problem.text}});
        PrintErrorLine(problem.line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(problem.line).arg(problem.text)
                                        : QStringLiteral("%1: %2").arg(file, problem.text));
    }
    const QString summary =
        QStringLiteral("%1 in %2; nothing was written.").arg(Counted(plan.problems.size(), "problem"), file);
    PrintErrorLine(summary);
    if (invocation.json)
        PrintJson(QJsonObject{{"plan", file}, {"problems", problems}, {"error", summary}, {"exitStatus", ExitRefused}});
    return ExitRefused;
}

// The report opened for appending, a CSV header written when it is new; an incomplete last line (a
// run killed while it wrote) is cut off first. A CSV report goes on with the separator it has, a new one
// takes `separator`. Returns why it cannot be used, or an empty text.
QString OpenReport(QFile& report, bool json, QChar& separator) {
    if (!report.open(QIODevice::ReadWrite))
        return QStringLiteral("Cannot write %1: %2").arg(report.fileName(), report.errorString());
    const QByteArray existing = report.readAll();
    const qsizetype complete = existing.lastIndexOf('\n') + 1;
    if (complete < existing.size() && !report.resize(complete))
        return QStringLiteral("Cannot write %1: %2").arg(report.fileName(), report.errorString());
    const QByteArray kept = existing.left(complete);
    const bool jsonLines = kept.trimmed().startsWith('{');
    const std::optional<QChar> keptSeparator = ReportCsvSeparator(kept);
    if (!kept.trimmed().isEmpty() && (jsonLines != json || (!json && !keptSeparator)))
        return QStringLiteral("%1 is not a commissioning report in %2; give another file.")
            .arg(report.fileName(), json ? QStringLiteral("JSON") : QStringLiteral("CSV"));
    report.seek(complete);
    separator = keptSeparator.value_or(separator);
    if (!json && kept.isEmpty() && report.write(ReportCsvHeader(separator)) < 0)
        return QStringLiteral("Cannot write %1: %2").arg(report.fileName(), report.errorString());
    report.flush();
    return {};
}

// Why the backups could not be kept in `folder`, found without creating anything; empty when they can.
QString BackupsRefusal(const QString& folder) {
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return QStringLiteral("--backups %1 is a file, not a folder.").arg(folder);
    if (info.exists() && !info.isWritable())
        return QStringLiteral("Cannot write in the folder %1.").arg(folder);
    QFileInfo existing(info.absoluteFilePath());
    while (!existing.exists() && !existing.isRoot())
        existing.setFile(existing.absolutePath());
    if (!info.exists() && (!existing.isDir() || !existing.isWritable()))
        return QStringLiteral("Cannot create the folder %1.").arg(folder);
    return {};
}

void PrintResult(const Invocation& invocation, const std::vector<RowRecord>& records, std::size_t planned,
                 int status) {
    std::map<QString, int> counts;
    QJsonArray rows;
    for (const RowRecord& record : records) {
        ++counts[OutcomeName(record.outcome)];
        rows.append(RecordJson(record));
    }
    QStringList summary;
    QJsonObject countJson;
    for (const auto& [outcome, count] : counts) {
        summary << QStringLiteral("%1 %2").arg(count).arg(outcome);
        countJson.insert(outcome, count);
    }
    if (invocation.json) {
        PrintJson(QJsonObject{{"plan", invocation.arguments.first()},
                              {"rows", rows},
                              {"counts", countJson},
                              {"notRun", static_cast<int>(planned - records.size())},
                              {"exitStatus", status}});
        return;
    }
    if (!records.empty())
        PrintLine(SummaryTable(records).join('\n'));
    if (records.size() < planned)
        summary << QStringLiteral("%1 not run").arg(planned - records.size());
    PrintLine(QStringLiteral("%1: %2.").arg(Counted(planned, "row"), summary.join(", ")));
}

} // namespace

int RunCommission(const Invocation& invocation) {
    const QString planPath = invocation.arguments.first();
    QString readError;
    const std::optional<QByteArray> planBytes = ReadPlanFile(planPath, readError);
    if (!planBytes)
        return Refuse(invocation, QStringLiteral("Cannot read %1: %2").arg(PlanFileName(planPath), readError));
    Plan plan = ReadPlan(*planBytes);
    for (const QString& note : plan.notes)
        PrintErrorLine(QStringLiteral("%1: %2").arg(PlanFileName(planPath), note));
    CheckPlan(plan, {invocation.force, invocation.wait || invocation.ask}, ResolvePlanPort);
    // A server's lookup cut short is no fault of the plan.
    if (Interrupted())
        return Refuse(invocation, QStringLiteral("Interrupted while the plan was checked; nothing was done."),
                      ExitInterrupted);
    if (!plan.problems.empty())
        return ReportProblems(invocation, plan);
    if (invocation.dryRun)
        return DryRun(invocation, plan);

    std::vector<RowRecord> earlier;
    // One command line for every run: the first has no report to resume from yet.
    const bool resumesOwnReport =
        QFileInfo(invocation.resume).absoluteFilePath() == QFileInfo(invocation.report).absoluteFilePath();
    if (!invocation.resume.isEmpty() && resumesOwnReport && !QFileInfo::exists(invocation.resume))
        PrintErrorLine(QStringLiteral("%1 is not there yet: no row is done, the run starts fresh.")
                           .arg(invocation.resume));
    else if (!invocation.resume.isEmpty()) {
        QFile resume(invocation.resume);
        QString error;
        std::optional<std::vector<RowRecord>> read;
        if (resume.open(QIODevice::ReadOnly))
            read = ReadReport(resume.readAll(), error);
        else
            error = resume.errorString();
        if (!read)
            return Refuse(invocation, QStringLiteral("Cannot resume from %1: %2").arg(invocation.resume, error));
        earlier = std::move(*read);
    }
    QFile report(invocation.report);
    QChar separator = plan.separator;
    if (!invocation.report.isEmpty())
        if (const QString refused = OpenReport(report, invocation.json, separator); !refused.isEmpty())
            return Refuse(invocation, refused);
    if (const QString refused = BackupsRefusal(invocation.backups); !refused.isEmpty())
        return Refuse(invocation, refused);
    if (!invocation.check && !QDir().mkpath(invocation.backups))
        return Refuse(invocation, QStringLiteral("Cannot create the folder %1.").arg(invocation.backups));

    std::atomic<bool>& stop = StopFlag();
    CWaitLimit limit(invocation.waitLimit, std::chrono::steady_clock::now);
    CRunLog log({invocation.report.isEmpty() ? nullptr : &report, invocation.json, separator, StderrIsTerminal(),
                 plan.rows.size(), [&stop] { return ReadAnswer(stop); }, WriteError, DiscardTypedAhead});

    // Rows of one device in file order, devices in the order the plan first names them.
    // The rows carry their ports as the check looked them up, so that a port looked up again could not
    // lead elsewhere now.
    std::vector<PortRows> groups;
    std::map<QString, std::size_t> groupOf; // by the device's identity
    std::map<QString, PortChoice> choiceOf; // by the port as the group names it
    std::vector<HeldRow> doneRows;          // their controllers hold what the rows give
    for (const PlanRow& row : plan.rows) {
        if (DoneInReport(earlier, row)) {
            log.Finished(SkippedRecord(row, row.port, QStringLiteral("done in %1").arg(invocation.resume)));
            doneRows.push_back({&row, nullptr});
            continue;
        }
        const auto [group, added] = groupOf.emplace(row.choice.identity, groups.size());
        if (added) {
            groups.push_back({row.port, {}});
            choiceOf.emplace(row.port, row.choice);
        }
        groups[group->second].rows.push_back(&row);
    }

    const LineRefusal lineRefusal = [&doneRows](std::vector<HeldRow> rows) {
        rows.insert(rows.end(), doneRows.begin(), doneRows.end());
        return TwiceHeldAddress(rows);
    };
    if (invocation.check) {
        log.Close();
        return PreviewCommission(invocation, groups, log.Records(), plan.rows.size(), lineRefusal);
    }

    // Only a carried cable can meet a controller already done; on its own port a row's controller is
    // the one on that port.
    CDoneRows done;
    for (const RowRecord& record : earlier)
        done.Add(record);
    CDoneRows* carried = invocation.wait || invocation.ask ? &done : nullptr;
    CCarriedLine line(plan.rows);
    const CommissionSettings settings{invocation.retries, invocation.force, invocation.backups,
                                      carried ? &line : nullptr, !invocation.resume.isEmpty()};
    const ScheduleSeams seams{
        [&](const QString& port) { return std::make_unique<CLinkPortWork>(choiceOf.at(port), settings, carried, stop); },
        [&](std::chrono::milliseconds time) { PauseUnlessStopped(time, &stop); },
        [&] {
            log.Tick();
            limit.Check(stop);
        },
        lineRefusal};
    RunSchedule(groups, {invocation.jobs, invocation.wait, invocation.ask}, seams, log, stop);
    log.Close();

    const std::vector<RowRecord> records = log.Records();
    int status = RunStatus(records, plan.rows.size(), Interrupted() || limit.Reached());
    if (const QString error = log.ReportError(); !error.isEmpty()) {
        PrintErrorLine(QStringLiteral("Cannot write %1: %2; records from then on are only below.")
                           .arg(invocation.report, error));
        status = status == ExitSuccess ? ExitRefused : status;
    }
    if (Interrupted())
        PrintErrorLine(QStringLiteral("Interrupted: the report holds every row that ended."));
    else if (limit.Reached())
        PrintErrorLine(QStringLiteral("Stopped: the --wait limit of %1 passed; the report holds every row that ended.")
                           .arg(limit.Text()));
    PrintResult(invocation, records, plan.rows.size(), status);
    return status;
}
