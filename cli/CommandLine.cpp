#include "cli/CommandLine.h"

#include "cli/AttributeText.h"
#include "cli/ExitStatus.h"
#include "model/AttributeRules.h"
#include "model/BaudRates.h"
#include "seriallink/serial/ModemLines.h"
#include "seriallink/serial/PortName.h"

#include <QCommandLineParser>

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

namespace {

constexpr char ProgramName[] = "talvor-netcfg";
constexpr int MaxRetries = 10;
// An 80-column console wraps a line that fills it.
constexpr qsizetype HelpWidth = 79;
constexpr int MaxJobs = 64;

QString ComPortRange() {
    return QStringLiteral("COM%1 to COM%2").arg(FirstComPort).arg(LastComPort);
}

QString BaudRateList() {
    QStringList rates;
    for (const int rate : DeviceNetBaudRatesKbps)
        rates << QString::number(rate);
    return rates.join(", ");
}

struct CommandShape {
    QString name;
    int minArguments;
    int maxArguments;
    QString usage; // after the command's name
    QString summary;
    QStringList options; // besides --help and --version
};

const QStringList WriteOptions{"port", "json", "trace", "retries", "settle", "force", "no-verify", "dry-run"};

const std::vector<CommandShape>& Commands() {
    static const std::vector<CommandShape> commands{
        {"ports", 0, 0, "", "serial ports present and the device behind each of " + ComPortRange(), {"json"}},
        {"probe",
         0,
         0,
         "[--present]",
         "asks " + ComPortRange() + " (or each present port) for the status id",
         {"json", "trace", "settle", "present"}},
        {"status", 0, 0, "", "the controller's status id", {"port", "json", "trace", "retries", "settle"}},
        {"read",
         1,
         1,
         "ethernet|devicenet|profibus",
         "the attributes the controller holds for that type",
         {"port", "json", "trace", "retries", "settle"}},
        {"write", 1, 1,
         "devicenet [--mac-id N] [--baud RATE]\nwrite profibus --node N\nwrite ethernet [--ip A] [--mask M] "
         "[--gateway G]",
         "reads what the controller holds for the type, changes only what the options name, checks the "
         "result, writes it and reads it back; a controller holding no Ethernet attributes (Ethernet off) "
         "starts from the defaults (255.255.255.0, 0.0.0.0) and needs --ip",
         WriteOptions + QStringList{"mac-id", "baud", "node", "ip", "mask", "gateway"}},
        {"disable-ethernet",
         0,
         0,
         "",
         "writes the block that disables the Ethernet attributes",
         {"port", "json", "trace", "retries", "settle", "no-verify", "dry-run"}},
        {"backup",
         1,
         1,
         "FILE|-",
         "saves the status id and all three types' blocks as JSON (- for standard output)",
         {"port", "json", "trace", "retries", "settle"}},
        {"restore", 1, 1, "FILE",
         "checks FILE whole and that it was saved from a controller with this status id, then writes "
         "each type's block or clears a type the backup does not hold",
         WriteOptions},
        {"commission",
         1,
         1,
         "PLAN|-",
         "commissions every controller of PLAN (- for standard input), a CSV file with a header line: "
         "columns "
         "name and port (required), ip, mask, gateway, mac-id, baud, node, disable-ethernet (yes clears the "
         "Ethernet attributes; no or an empty cell leaves them as the controller holds them) and status-id, "
         "named in any case, with or without blanks, - or _, or as the utility names the fields (IP address, "
         "Baud "
         "rate); comment, notes and columns beginning with # are passed over; cells between ',', ';' or "
         "tabs, "
         "in UTF-8 (otherwise read as Windows-1252); an empty cell keeps what the controller holds. The "
         "whole plan is checked first, each port's device included; rows reaching one device need --wait or "
         "--ask. Each row: the status id "
         "(refused if it is not the row's status-id), a backup to NAME-before.json, the row's values "
         "written and read back, a backup to NAME.json; a controller that holds them already is left "
         "unchanged. Ports are worked at once, the rows of a port in their order; on ports of their own "
         "every "
         "controller is read before any is written, and a line that would end with one IP address on two "
         "controllers is refused whole. held- before a field column "

         "(held-ip, held-mac-id, ...) names what the row's controller holds now: a controller that does not "
         "hold it is refused, and with --wait each controller that comes is taken for the row it holds, in "
         "any order. A line re-addressed with one cable (--wait, --ask) needs them: without them a "
         "controller holding what a finished row wrote is taken for one put back",
         {"json", "retries", "settle", "force", "dry-run", "check", "jobs", "wait", "ask", "report", "resume",
          "backups"}},
        {"snapshot",
         0,
         LastAddressableComPort,
         "[PORT...]",
         "writes a commissioning plan of what the controllers on the ports (COMn, devices or URLs; default: "
         "every "
         "port present) hold: a row per port that answers, named after its port, with its status id; a type "
         "a controller holds none of is left empty, and no Ethernet held is disable-ethernet yes. "
         "A held value the plan's check would refuse is left empty, with a note. Commissioning the plan as "
         "written changes nothing. Ports that do not answer are told on standard error and left out (a port "
         "named makes the exit status 2)",
         {"output", "held", "retries", "settle"}},
        {"help", 0, 1, "[COMMAND]", "this text, or a command's usage and options (also COMMAND -h)", {}},
    };
    return commands;
}

// Command names are taken in any case, as type names are.
const CommandShape* CommandNamed(const QString& name) {
    const auto shape = std::find_if(Commands().begin(), Commands().end(), [&](const CommandShape& c) {
        return c.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    return shape == Commands().end() ? nullptr : &*shape;
}

// Edits (insertions, deletions, substitutions, swaps of neighbours) that turn `a` into `b`.
qsizetype EditDistance(const QString& a, const QString& b) {
    std::vector<std::vector<qsizetype>> d(a.size() + 1, std::vector<qsizetype>(b.size() + 1));
    for (qsizetype i = 0; i <= a.size(); ++i)
        for (qsizetype j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// `text` in lines of at most `width` characters, each after `indent`.
QString Wrapped(const QString& text, const QString& indent, qsizetype width) {
    QStringList lines{indent};
    for (const QString& word : text.split(' ')) {
        if (lines.last().size() > indent.size() && lines.last().size() + 1 + word.size() > width)
            lines << indent;
        lines.last() += (lines.last().size() > indent.size() ? " " : "") + word;
    }
    return lines.join('\n');
}

QString CommandList() {
    QString text = QStringLiteral("Commands:\n");
    for (const CommandShape& c : Commands()) {
        const QString usage = (c.name + ' ' + c.usage).trimmed();
        text += QStringLiteral("  %1\n%2\n")
                    .arg(usage.split('\n').join("\n  "), Wrapped(c.summary, "      ", HelpWidth));
    }
    return text;
}

QString ExitStatusList() {
    std::vector<ExitStatusMeaning> byNumber(ExitStatuses().begin(), ExitStatuses().end());
    std::sort(byNumber.begin(), byNumber.end(),
              [](const auto& a, const auto& b) { return a.status < b.status; });
    QString text = QStringLiteral("Exit status:\n");
    for (const ExitStatusMeaning& entry : byNumber)
        text += QStringLiteral("  %1  %2\n")
                    .arg(entry.status, -3)
                    .arg(Wrapped(QString::fromLatin1(entry.meaning), "       ", HelpWidth).trimmed());
    return text +
           Wrapped(QStringLiteral("restore and commission exit with the worst status of their types or rows "
                                  "(%1).")
                       .arg(ExitStatusOrder()),
                   "", HelpWidth) +
           '\n';
}

// Options that only some write types take.
bool OptionFitsType(const QString& option, const QString& type) {
    if (option == "mac-id" || option == "baud")
        return type == "devicenet";
    if (option == "node")
        return type == "profibus";
    if (option == "ip" || option == "mask" || option == "gateway")
        return type == "ethernet";
    return true;
}

const QStringList ValueOptions{"mac-id", "baud", "node", "ip", "mask", "gateway"};

// Where a port is named as the system names it.
#ifdef _WIN32
constexpr char PortExample[] = ", such as COM3";
#else
constexpr char PortExample[] = " or a device such as /dev/ttyUSB0";
#endif

QList<QCommandLineOption> AllOptions() {
    return {
        {"port",
         QStringLiteral("COM port n (COM%1 to COM%2, default COM1)%3, or a port on a serial device server: "
                        "rfc2217://HOST:PORT (the line set over RFC 2217) or socket://HOST:PORT (raw TCP).")
             .arg(FirstComPort)
             .arg(LastAddressableComPort)
             .arg(QString::fromLatin1(PortExample)),
         "COMn|DEVICE|URL"},
        {"json", "Output, and errors, as JSON on standard output."},
        {"trace", "Every frame sent and received, in hex with timing, on standard error."},
        {"retries",
         QStringLiteral("Repeats a request that failed on the line up to N times (0 to %1, default 0); "
                        "never one the controller refused.")
             .arg(MaxRetries),
         "N"},
        {"settle",
         QStringLiteral("Waits MS milliseconds after opening a port with modem lines, for a device powered "
                        "from DTR and RTS to come up (0 to %1, default %2).")
             .arg(LongestModemLineSettle.count())
             .arg(DefaultModemLineSettle.count()),
         "MS"},
        {"force", "Writes addresses that would make a controller unreachable; restores another "
                  "controller's backup."},
        {"no-verify",
         "Does not read a written block back: a write whose reply was lost is then not known. "
         "Otherwise a read-back that fails on the line or at the open is tried up to 3 more times "
         "(or --retries times, if more), 0.5 s apart, each on a fresh open (14 s at most): the "
         "write is known written, not written, or said to be unknown (\"written\" in JSON)."},
        {"dry-run", "Prints the blocks a command would write and writes nothing; commission: checks the plan "
                    "alone and contacts no controller."},
        {"check", "commission: after the plan's check reads each controller, as the run would, and prints "
                  "per row each field that would change (held -> planned), the rows already done and the "
                  "refusals the run would meet; writes nothing, no backup and no report."},
        {"output", "snapshot: the plan's file (default -, standard output).", "FILE"},
        {"held", "snapshot: writes the held- columns too, filled with what each controller holds, so that a "
                 "line read today is re-addressed by editing only the planned columns."},
        {"present",
         QStringLiteral("probe: asks each port that is present instead of %1.").arg(ComPortRange())},
        {"mac-id", QStringLiteral("DeviceNet MAC ID, %1 to %2.").arg(MacIdMin).arg(MacIdMax), "N"},
        {"baud",
         QStringLiteral("DeviceNet baud rate in kb/s: %1 (500, 500k and 500 kb/s alike; default: as the "
                        "controller holds).")
             .arg(BaudRateList()),
         "RATE"},
        {"node", QStringLiteral("Profibus node address, %1 to %2.").arg(NodeAddressMin).arg(NodeAddressMax),
         "N"},
        {"jobs",
         QStringLiteral("commission: works at most N ports at once (1 to %1; default: every port).")
             .arg(MaxJobs),
         "N"},
        {"wait", "commission: one cable carried along: before each row waits for its controller to "
                 "answer, after it for that controller to go. --wait=LIMIT (such as 90s, 10m or 2h) stops "
                 "the run after that time as an interruption would."},
        {"ask",
         "commission: asks before each row, one question at a time (Enter to go on, s to skip it, q to "
         "start no other row: the rows under way finish)."},
        {"report",
         "commission: appends a record per row to FILE as each row ends (CSV; JSON lines with "
         "--json).",
         "FILE"},
        {"resume",
         "commission: leaves out the rows REPORT shows commissioned or unchanged with the same "
         "values; where REPORT is --report's file and not there yet, the run starts fresh.",
         "REPORT"},
        {"backups", "commission: the folder for the backup files (default: the current folder).", "DIR"},
        {"ip", "Ethernet IP address.", "A"},
        {"mask", "Ethernet subnet mask.", "M"},
        {"gateway", "Ethernet gateway; 0.0.0.0 for none.", "G"},
    };
}

void DescribeOptions(QCommandLineParser& parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    for (const QCommandLineOption& option : AllOptions())
        parser.addOption(option);
}

// The options `only` takes (all for none), each on a line of its own with its description below, as
// the commands are: no column to squeeze into a console's width. Qt's own options stay out of it.
QString OptionList(const CommandShape* only) {
    QString text = QStringLiteral("Options:\n");
    const auto add = [&](const QString& names, const QString& description) {
        text += QStringLiteral("  %1\n%2\n").arg(names, Wrapped(description, "      ", HelpWidth));
    };
    add("-h, --help", "Shows this help; after a command, that command's.");
    if (!only)
        add("-v, --version", "Shows the version.");
    for (const QCommandLineOption& option : AllOptions()) {
        const QString name = option.names().first();
        if (!only || only->options.contains(name))
            add(QStringLiteral("--%1%2").arg(name, option.valueName().isEmpty() ? QString()
                                                                                : ' ' + option.valueName()),
                option.description());
    }
    return text;
}

QString Usage(const QString& arguments) {
    return QStringLiteral("Usage: %1 [options] %2\n\n").arg(ProgramName, arguments);
}

CommandLineOutcome Refuse(QString& message, const QString& why) {
    message = why;
    return CommandLineOutcome::Refused;
}

// The arguments before "--", which ends the options: a file named like an option or "/?" comes after it.
template <typename List> auto Options(List& arguments) {
    const qsizetype end = arguments.indexOf(QStringLiteral("--"));
    return std::span(arguments.data(), std::size_t(end < 0 ? arguments.size() : end));
}

// --wait's limit comes only as --wait=LIMIT, so that a plan named after a bare --wait stays the plan;
// the arguments are given back with the limit taken off.
QStringList TakeWaitLimit(QStringList arguments, QString& limit) {
    for (QString& argument : Options(arguments))
        for (const QString& option : {QStringLiteral("--wait="), QStringLiteral("-wait=")})
            if (argument.startsWith(option)) {
                limit = argument.mid(option.size());
                argument = option.chopped(1);
            }
    return arguments;
}

// "90s", "10m", "2h"; up to a day.
std::optional<std::chrono::seconds> WaitLimit(const QString& text) {
    static const QRegularExpression shape(QStringLiteral("^([0-9]{1,5})([smh])$"));
    const QRegularExpressionMatch match = shape.match(text.trimmed().toLower());
    if (!match.hasMatch())
        return std::nullopt;
    const int unit = match.captured(2) == "h" ? 3600 : match.captured(2) == "m" ? 60 : 1;
    const std::chrono::seconds limit{match.captured(1).toInt() * unit};
    if (limit.count() == 0 || limit > std::chrono::hours(24))
        return std::nullopt;
    return limit;
}

} // namespace

QString HelpText(const QString& command) {
    if (command.isEmpty())
        return Usage("command [argument]") +
               Wrapped(
                   "Reads and writes the network attributes of a TALVOR controller on a serial port, with "
                   "the same requests and blocks as TALVOR_EthernetConfig. Options end at --: a file whose "
                   "name "
                   "begins with - is named after it.",
                   QString(), HelpWidth) +
               "\n\n" + CommandList() + '\n' + OptionList(nullptr) + '\n' + ExitStatusList();
    const CommandShape* shape = CommandNamed(command);
    if (!shape)
        return QString();
    const QString usage = (shape->name + ' ' + shape->usage).trimmed();
    return Usage(usage.split('\n').join(QStringLiteral("\n       "))) +
           Wrapped(shape->summary + '.', QString(), HelpWidth) + "\n\n" + OptionList(shape);
}

QString UnknownCommandText(const QString& name) {
    QString text = QStringLiteral("Unknown command '%1'.").arg(name);
    const CommandShape* nearest = nullptr;
    qsizetype best = 3; // more edits than this is no misspelling
    for (const CommandShape& c : Commands()) {
        const qsizetype distance = EditDistance(name.toLower(), c.name);
        if (distance < best || (c.name.startsWith(name.toLower()) && name.size() >= 3 && !nearest)) {
            best = std::min(best, distance);
            nearest = &c;
        }
    }
    if (nearest)
        text += QStringLiteral(" Did you mean '%1'?").arg(nearest->name);
    return text;
}

bool AsksForJson(const QStringList& arguments) {
    const auto options = Options(arguments);
    return std::ranges::find(options, QStringLiteral("--json")) != options.end() ||
           std::ranges::find(options, QStringLiteral("-json")) != options.end();
}

CommandLineOutcome ParseCommandLine(const QStringList& arguments, Invocation& invocation, QString& message) {
    QCommandLineParser parser;
    DescribeOptions(parser);
    QString waitLimit;
    if (!parser.parse(TakeWaitLimit(arguments, waitLimit)))
        return Refuse(message, parser.errorText());
    const QStringList positional = parser.positionalArguments();
    // "/?" is how Windows programs are asked for help.
    if (const auto options = Options(arguments);
        std::ranges::find(options, QStringLiteral("/?")) != options.end())
        return CommandLineOutcome::Help;
    if (parser.isSet("help") || parser.isSet("help-all")) {
        // After a command, the help is that command's.
        const CommandShape* shape = positional.isEmpty() ? nullptr : CommandNamed(positional.first());
        if (!shape || shape->name == "help")
            return CommandLineOutcome::Help;
        invocation.command = QStringLiteral("help");
        invocation.arguments = QStringList{shape->name};
        invocation.json = parser.isSet("json");
        return CommandLineOutcome::Run;
    }
    if (parser.isSet("version"))
        return CommandLineOutcome::Version;

    if (positional.isEmpty())
        return Refuse(message, QStringLiteral("No command given."));
    const CommandShape* shape = CommandNamed(positional.first());
    if (!shape)
        return Refuse(message, UnknownCommandText(positional.first()));
    invocation.command = shape->name;
    invocation.arguments = positional.mid(1);
    if (invocation.arguments.size() < shape->minArguments ||
        invocation.arguments.size() > shape->maxArguments)
        return Refuse(message,
                      QStringLiteral("Usage: %1 %2")
                          .arg(ProgramName,
                               (shape->name + ' ' + shape->usage).trimmed().split('\n').join("\n       ")));
    const QString type = invocation.command == "write" ? invocation.arguments.first().toLower() : QString();
    const QStringList given = parser.optionNames();
    for (const QString& option : given) {
        if (given.count(option) > 1)
            return Refuse(message, QStringLiteral("--%1 is given more than once.").arg(option));
        // Help is help whatever else the command line carries: --port or --json copied from another line.
        if (shape->name == "help")
            continue;
        if (!shape->options.contains(option) || !OptionFitsType(option, type))
            return Refuse(message, QStringLiteral("--%1 does not apply to '%2'.")
                                       .arg(option, (invocation.command + ' ' + type).trimmed()));
    }
    invocation.port = parser.isSet("port") ? parser.value("port") : QStringLiteral("COM1");
    if (parser.isSet("retries")) {
        if (const auto refusal = NumberRefusal("--retries", parser.value("retries"), 0, MaxRetries))
            return Refuse(message, *refusal + '.');
        invocation.retries = *WholeNumber(parser.value("retries"));
    }
    if (parser.isSet("settle")) {
        const auto longest = static_cast<int>(LongestModemLineSettle.count());
        if (const auto refusal = NumberRefusal("--settle", parser.value("settle"), 0, longest))
            return Refuse(message, *refusal + '.');
        invocation.settle = std::chrono::milliseconds(*WholeNumber(parser.value("settle")));
    }
    if (parser.isSet("jobs")) {
        if (const auto refusal = NumberRefusal("--jobs", parser.value("jobs"), 1, MaxJobs))
            return Refuse(message, *refusal + '.');
        invocation.jobs = *WholeNumber(parser.value("jobs"));
    }
    invocation.wait = parser.isSet("wait");
    if (!waitLimit.isNull()) {
        const std::optional<std::chrono::seconds> limit = WaitLimit(waitLimit);
        if (!limit)
            return Refuse(message,
                          QStringLiteral("--wait=%1 is no time limit: give 1s to 24h, such as --wait=10m.")
                              .arg(waitLimit));
        invocation.waitLimit = *limit;
    }
    invocation.ask = parser.isSet("ask");
    if (invocation.wait && invocation.ask)
        return Refuse(message, QStringLiteral("--wait and --ask do not go together: give one."));
    invocation.check = parser.isSet("check");
    for (const char* apart : {"wait", "ask", "dry-run", "report"})
        if (invocation.check && parser.isSet(apart))
            return Refuse(message,
                          QStringLiteral("--check does not go with --%1: it reads the controller on each "
                                         "port once and writes nothing.")
                              .arg(QLatin1String(apart)));
    invocation.output = parser.isSet("output") ? parser.value("output") : QStringLiteral("-");
    invocation.held = parser.isSet("held");
    if (invocation.ask && invocation.command == "commission" && invocation.arguments.first() == "-")
        return Refuse(message,
                      QStringLiteral("--ask reads its answers from standard input: give the plan as a "
                                     "file."));
    invocation.report = parser.value("report");
    invocation.resume = parser.value("resume");
    invocation.backups = parser.isSet("backups") ? parser.value("backups") : QStringLiteral(".");
    invocation.json = parser.isSet("json");
    invocation.trace = parser.isSet("trace");
    invocation.present = parser.isSet("present");
    invocation.force = parser.isSet("force");
    invocation.verify = !parser.isSet("no-verify");
    invocation.dryRun = parser.isSet("dry-run");
    for (const QString& option : ValueOptions)
        if (parser.isSet(option))
            invocation.values[option] = parser.value(option);
    return CommandLineOutcome::Run;
}
