#include "cli/CommandLine.h"

#include "model/AttributeRules.h"
#include "model/BaudRates.h"
#include "seriallink/PortName.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace {

constexpr char ProgramName[] = "talvor-netcfg";
constexpr int MaxRetries = 10;
constexpr int MaxJobs = 64;

QString ComPortRange() {
    return QStringLiteral("COM%1 to COM%2").arg(FirstComPort).arg(LastComPort);
}

QString BaudRateList(const QString& separator) {
    QStringList rates;
    for (const int rate : DeviceNetBaudRatesKbps)
        rates << QString::number(rate);
    return rates.join(separator);
}

struct CommandShape {
    QString name;
    int minArguments;
    int maxArguments;
    QString usage; // after the command's name
    QString summary;
    QStringList options; // besides --help and --version
};

const QStringList WriteOptions{"port", "json", "trace", "retries", "force", "no-verify", "dry-run"};

const std::vector<CommandShape>& Commands() {
    static const std::vector<CommandShape> commands{
        {"ports", 0, 0, "", "serial ports present and the device behind each of " + ComPortRange(), {"json"}},
        {"probe",
         0,
         0,
         "[--present]",
         "asks " + ComPortRange() + " (or each present port) for the status id",
         {"json", "trace", "present"}},
        {"status", 0, 0, "", "the controller's status id", {"port", "json", "trace", "retries"}},
        {"read",
         1,
         1,
         "ethernet|devicenet|profibus",
         "the attributes the controller holds for that type",
         {"port", "json", "trace", "retries"}},
        {"write", 1, 1,
         "devicenet [--mac-id N] [--baud " + BaudRateList("|") +
             "]\nwrite profibus --node N\nwrite ethernet [--ip A] [--mask M] [--gateway G]",
         "reads what the controller holds for the type, changes only what the options name, checks the "
         "result, writes it and reads it back; a controller holding no Ethernet attributes starts from "
         "the defaults (192.168.1.1, 255.255.255.0, 0.0.0.0)",
         WriteOptions + QStringList{"mac-id", "baud", "node", "ip", "mask", "gateway"}},
        {"disable-ethernet",
         0,
         0,
         "",
         "writes the block that disables the Ethernet attributes",
         {"port", "json", "trace", "retries", "no-verify", "dry-run"}},
        {"backup",
         1,
         1,
         "FILE|-",
         "saves the status id and all three types' blocks as JSON (- for standard output)",
         {"port", "json", "trace", "retries"}},
        {"restore", 1, 1, "FILE",
         "checks FILE whole and that it was saved from a controller with this status id, then writes "
         "each type's block or clears a type the backup does not hold",
         WriteOptions},
        {"commission", 1, 1, "PLAN",
         "commissions every controller of PLAN, a CSV file with a header line: columns name and port "
         "(required), ip, mask, gateway, mac-id, baud, node, disable-ethernet and status-id; an empty cell "
         "keeps what the controller holds. The whole plan is checked first. Each row: the status id "
         "(refused if it is not the row's status-id), a backup to NAME-before.json, the row's values "
         "written and read back, a backup to NAME.json; a controller that holds them already is left "
         "unchanged. Ports are worked at once, the rows of a port in their order",
         {"json", "retries", "force", "dry-run", "jobs", "wait", "ask", "report", "resume", "backups"}},
        {"help", 0, 1, "[COMMAND]", "this text, or a command's usage and options", {}},
    };
    return commands;
}

const CommandShape* CommandNamed(const QString& name) {
    const auto shape = std::find_if(Commands().begin(), Commands().end(),
                                    [&](const CommandShape& c) { return c.name == name; });
    return shape == Commands().end() ? nullptr : &*shape;
}

constexpr char ExitStatuses[] =
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  refused input: the command line, a value or a file; nothing was written\n"
    "  2  link failure: the port or the line failed, or a written block did not "
    "read back\n"
    "  3  the controller holds no attributes of that type\n"
    "  4  the controller refused the request (a status it answered)\n"
    "  130  commission stopped by Ctrl-C\n"
    "restore and commission exit with the worst status of their types or rows (2, 4, 1, 3, 0).\n";

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
                    .arg(usage.split('\n').join("\n  "), Wrapped(c.summary, "      ", 100));
    }
    return text;
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

QList<QCommandLineOption> AllOptions() {
    return {
        {"port",
         QStringLiteral("COM port n (COM%1 to COM%2, default COM1) or a device such as /dev/ttyUSB0.")
             .arg(FirstComPort)
             .arg(LastAddressableComPort),
         "COMn|DEVICE"},
        {"json", "Output, and errors, as JSON on standard output."},
        {"trace", "Every frame sent and received, in hex with timing, on standard error."},
        {"retries",
         QStringLiteral("Repeats a request that failed on the line up to N times (0 to %1, default 0); "
                        "never one the controller refused.")
             .arg(MaxRetries),
         "N"},
        {"force", "Writes addresses that would make a controller unreachable; restores another "
                  "controller's backup."},
        {"no-verify", "Does not read a written block back."},
        {"dry-run", "Prints the blocks a command would write and writes nothing."},
        {"present",
         QStringLiteral("probe: asks each port that is present instead of %1.").arg(ComPortRange())},
        {"mac-id", QStringLiteral("DeviceNet MAC ID, %1 to %2.").arg(MacIdMin).arg(MacIdMax), "N"},
        {"baud",
         QStringLiteral("DeviceNet baud rate in kb/s: %1 (default: as the controller holds).")
             .arg(BaudRateList(", ")),
         "RATE"},
        {"node", QStringLiteral("Profibus node address, %1 to %2.").arg(NodeAddressMin).arg(NodeAddressMax),
         "N"},
        {"jobs", QStringLiteral("commission: works at most N ports at once (1 to %1; default: every port).")
                     .arg(MaxJobs),
         "N"},
        {"wait", "commission: one cable carried along: before each row waits for its controller to "
                 "answer, after it for that controller to go."},
        {"ask", "commission: asks before each row (Enter to go on, s to skip, q to stop)."},
        {"report", "commission: appends a record per row to FILE as each row ends (CSV; JSON lines with "
                   "--json).",
         "FILE"},
        {"resume", "commission: leaves out the rows REPORT shows commissioned or unchanged with the same "
                   "values.",
         "REPORT"},
        {"backups", "commission: the folder for the backup files (default: the current folder).", "DIR"},
        {"ip", "Ethernet IP address.", "A"},
        {"mask", "Ethernet subnet mask.", "M"},
        {"gateway", "Ethernet gateway; 0.0.0.0 for none.", "G"},
    };
}

void DescribeOptions(QCommandLineParser& parser, const CommandShape* only) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    for (const QCommandLineOption& option : AllOptions())
        if (!only || only->options.contains(option.names().first()))
            parser.addOption(option);
}

// Qt's usage line names the program by the path it was started from; a script's reader wants its name.
QString WithProgramName(const QString& helpText, const QString& usage) {
    QStringList lines = helpText.split('\n');
    lines.first() = QStringLiteral("Usage: %1 [options] %2").arg(ProgramName, usage);
    return lines.join('\n');
}

std::optional<int> RetryCount(const QString& text) {
    bool number = false;
    const int count = text.toInt(&number);
    return number && count >= 0 && count <= MaxRetries ? std::optional<int>(count) : std::nullopt;
}

CommandLineOutcome Refuse(QString& message, const QString& why) {
    message = why;
    return CommandLineOutcome::Refused;
}

} // namespace

QString HelpText(const QString& command) {
    QCommandLineParser parser;
    if (command.isEmpty()) {
        DescribeOptions(parser, nullptr);
        parser.setApplicationDescription(
            QStringLiteral("Reads and writes the network attributes of a TALVOR controller on a serial port, "
                           "with the same\nrequests and blocks as TALVOR_EthernetConfig.\n\n") +
            CommandList());
        return WithProgramName(parser.helpText(), "command [argument]") + QString::fromLatin1(ExitStatuses);
    }
    const CommandShape* shape = CommandNamed(command);
    if (!shape)
        return QString();
    DescribeOptions(parser, shape);
    parser.setApplicationDescription(Wrapped(shape->summary, QString(), 100));
    const QString usage = (shape->name + ' ' + shape->usage).trimmed();
    return WithProgramName(parser.helpText(), usage.split('\n').join(QStringLiteral("\n       ")));
}

bool AsksForJson(const QStringList& arguments) {
    return arguments.contains(QStringLiteral("--json")) || arguments.contains(QStringLiteral("-json"));
}

CommandLineOutcome ParseCommandLine(const QStringList& arguments, Invocation& invocation, QString& message) {
    QCommandLineParser parser;
    DescribeOptions(parser, nullptr);
    if (!parser.parse(arguments))
        return Refuse(message, parser.errorText());
    if (parser.isSet("help") || parser.isSet("help-all"))
        return CommandLineOutcome::Help;
    if (parser.isSet("version"))
        return CommandLineOutcome::Version;

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return Refuse(message, QStringLiteral("No command given."));
    invocation.command = positional.first();
    invocation.arguments = positional.mid(1);
    const CommandShape* shape = CommandNamed(invocation.command);
    if (!shape)
        return Refuse(message, QStringLiteral("Unknown command '%1'.").arg(invocation.command));
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
        if (!shape->options.contains(option) || !OptionFitsType(option, type))
            return Refuse(message, QStringLiteral("--%1 does not apply to '%2'.")
                                       .arg(option, (invocation.command + ' ' + type).trimmed()));
    }
    invocation.port = parser.isSet("port") ? parser.value("port") : QStringLiteral("COM1");
    if (parser.isSet("retries")) {
        const std::optional<int> retries = RetryCount(parser.value("retries"));
        if (!retries)
            return Refuse(message, QStringLiteral("--retries %1 is out of range 0-%2.")
                                       .arg(parser.value("retries"))
                                       .arg(MaxRetries));
        invocation.retries = *retries;
    }
    if (parser.isSet("jobs")) {
        bool number = false;
        invocation.jobs = parser.value("jobs").toInt(&number);
        if (!number || invocation.jobs < 1 || invocation.jobs > MaxJobs)
            return Refuse(message, QStringLiteral("--jobs %1 is out of range 1-%2.").arg(parser.value("jobs")).arg(MaxJobs));
    }
    invocation.wait = parser.isSet("wait");
    invocation.ask = parser.isSet("ask");
    if (invocation.wait && invocation.ask)
        return Refuse(message, QStringLiteral("--wait and --ask do not go together: give one."));
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
