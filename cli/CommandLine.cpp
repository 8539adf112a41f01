#include "cli/CommandLine.h"

#include <QCommandLineParser>

#include <algorithm>
#include <vector>

namespace {

constexpr char Description[] =
    "Reads and writes the network attributes of a TALVOR controller on a serial port, with the same\n"
    "rules, requests and messages as TALVOR_EthernetConfig.\n"
    "\n"
    "Commands:\n"
    "  ports                          serial ports present and the device behind each of COM1 to COM8\n"
    "  probe [--present]              asks COM1 to COM8 (or each present port) for the status id\n"
    "  status                         the controller's status id\n"
    "  read ethernet|devicenet|profibus\n"
    "                                 the attributes the controller holds for that type\n"
    "  write devicenet --mac-id N [--baud 125|250|500]\n"
    "  write profibus --node N\n"
    "  write ethernet --ip A [--mask M] [--gateway G]\n"
    "                                 reads what the controller holds (DeviceNet, Profibus), checks\n"
    "                                 the values and writes the attributes; the mask and gateway\n"
    "                                 default to 255.255.255.0 and 0.0.0.0\n"
    "  disable-ethernet               writes the block that disables the Ethernet attributes\n"
    "  backup FILE                    saves the status id and all three types' blocks as JSON\n"
    "  restore FILE                   checks FILE whole, then writes its blocks back\n";

constexpr char ExitStatuses[] =
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  refused input: the command line, a value or a file; nothing was written\n"
    "  2  link failure: the port, the line or the controller failed\n"
    "  3  the controller holds no attributes of that type\n";

struct CommandShape {
    const char* name;
    int arguments;
    std::vector<QString> options; // besides --help and --version
};

const std::vector<CommandShape>& Commands() {
    static const std::vector<CommandShape> commands{
        {"ports", 0, {"json"}},
        {"probe", 0, {"json", "trace", "present"}},
        {"status", 0, {"port", "json", "trace"}},
        {"read", 1, {"port", "json", "trace"}},
        {"write", 1, {"port", "json", "trace", "mac-id", "baud", "node", "ip", "mask", "gateway"}},
        {"disable-ethernet", 0, {"port", "trace"}},
        {"backup", 1, {"port", "trace"}},
        {"restore", 1, {"port", "trace"}},
    };
    return commands;
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

const QStringList kValueOptions{"mac-id", "baud", "node", "ip", "mask", "gateway"};

void DescribeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(Description);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"port", "COM port n (COM1 to COM256, default COM1) or a device, e.g. /dev/ttyUSB0.", "COMn|DEVICE"},
        {"json", "Output as JSON."},
        {"trace", "Every frame sent and received, in hex with timing, on standard error."},
        {"present", "probe: ask each port that is present instead of COM1 to COM8."},
        {"mac-id", "DeviceNet MAC ID, 0 to 63.", "N"},
        {"baud", "DeviceNet baud rate in kb/s: 125, 250 or 500 (default: as the controller holds).", "RATE"},
        {"node", "Profibus node address, 1 to 125.", "N"},
        {"ip", "Ethernet IP address.", "A"},
        {"mask", "Ethernet subnet mask.", "M"},
        {"gateway", "Ethernet gateway.", "G"},
    });
    parser.addPositionalArgument("command", "One of the commands above.", "command [argument]");
}

} // namespace

QString HelpText() {
    QCommandLineParser parser;
    DescribeOptions(parser);
    return parser.helpText() + QString::fromLatin1(ExitStatuses);
}

CommandLineOutcome ParseCommandLine(const QStringList& arguments, Invocation& invocation, QString& message) {
    QCommandLineParser parser;
    DescribeOptions(parser);
    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return CommandLineOutcome::Refused;
    }
    if (parser.isSet("help"))
        return CommandLineOutcome::Help;
    if (parser.isSet("version"))
        return CommandLineOutcome::Version;

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        message = "No command given.";
        return CommandLineOutcome::Refused;
    }
    invocation.command = positional.first();
    invocation.arguments = positional.mid(1);
    const auto shape = std::find_if(Commands().begin(), Commands().end(),
                                    [&](const CommandShape& c) { return invocation.command == c.name; });
    if (shape == Commands().end()) {
        message = QString("Unknown command '%1'.").arg(invocation.command);
        return CommandLineOutcome::Refused;
    }
    if (invocation.arguments.size() != shape->arguments) {
        message = shape->arguments == 0 ? QString("'%1' takes no argument.").arg(invocation.command)
                                        : QString("'%1' takes one argument.").arg(invocation.command);
        return CommandLineOutcome::Refused;
    }
    const QString type = invocation.command == "write" ? invocation.arguments.first() : QString();
    for (const QString& option : parser.optionNames()) {
        const bool taken =
            std::find(shape->options.begin(), shape->options.end(), option) != shape->options.end();
        if (!taken || !OptionFitsType(option, type)) {
            message = QString("--%1 does not apply to '%2'.")
                          .arg(option, (invocation.command + ' ' + type).trimmed());
            return CommandLineOutcome::Refused;
        }
    }
    const QStringList ports = parser.values("port");
    invocation.port = ports.isEmpty() ? QStringLiteral("COM1") : ports.last();
    invocation.json = parser.isSet("json");
    invocation.trace = parser.isSet("trace");
    invocation.present = parser.isSet("present");
    for (const QString& option : kValueOptions)
        if (parser.isSet(option))
            invocation.values[option] = parser.value(option);
    return CommandLineOutcome::Run;
}
