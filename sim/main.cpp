// talvor-controller-sim: plays a controller on a pseudo-terminal or a serial port until SIGTERM/SIGINT.

#include "model/Hex.h"
#include "sim/ControllerSimulator.h"
#include "sim/FaultOption.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr char Description[] =
    "Plays a controller on the device side of a serial line. Without --port it creates a\n"
    "pseudo-terminal and prints the device path a client opens as the first line of stdout.\n"
    "It answers status id (18), write (42) and read (43) requests as docs/link-protocol.md says,\n"
    "logs one line per request on stderr and ends on SIGTERM or SIGINT.";

struct Arguments {
    ControllerSimulator::Options options;
    std::vector<std::pair<int, ByteString>> preloads;
    bool preloadDefaults = false;
    std::vector<FaultOption> faults;
};

int Refuse(const QString& message) {
    std::fprintf(stderr, "talvor-controller-sim: %s\nTry --help.\n", qPrintable(message));
    return 2;
}

// Returns the exit status to end with, or -1 to go on serving.
int Parse(const QStringList& arguments, Arguments& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    const QCommandLineOption help("help", "Show this text.");
    const QCommandLineOption port(
        "port", "Serve on this serial port (19200 bit/s, 8N1) instead of a new pty.", "PATH");
    const QCommandLineOption preload(
        "preload",
        "Store an attribute block for network type 1, 2 or 3, e.g. --preload 2=000C021E0000400004001400.",
        "TYPE=HEX");
    const QCommandLineOption preloadDefaults("preload-defaults",
                                             "Store the default Ethernet, DeviceNet and Profibus blocks.");
    const QCommandLineOption fault(
        "fault",
        QString::fromStdString(
            "Damage the next replies; FAULT is KIND[:VALUE][xCOUNT][@CODE]: KIND one of " + FaultKindList() +
            "; VALUE the status byte of a status fault (0-255), or for echo (the request handed back "
            "first) and late the milliseconds from the request to the reply (0-60000); COUNT how many "
            "replies (default 1); CODE only requests with this message code. Examples: --fault "
            "status:22x2@42, --fault late:1300. The endless kinds talk "
            "instead of replying for up to a minute or until the client closes the port. May be given "
            "several "
            "times; faults apply in the order given."),
        "FAULT");
    const QCommandLineOption pace("pace",
                                  "Take requests and send replies at the line's byte rate (1920 bytes/s).");
    const QCommandLineOption store(
        "store", "Keep the stored blocks in FILE across runs (written atomically).", "FILE");
    const QCommandLineOption quiet("quiet", "Do not log requests.");
    parser.addOptions({port, preload, preloadDefaults, fault, pace, store, quiet, help});

    if (!parser.parse(arguments))
        return Refuse(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return Refuse("unexpected argument " + parser.positionalArguments().first());

    args.options.logRequests = !parser.isSet(quiet);
    args.options.paceAtLineRate = parser.isSet(pace);
    args.preloadDefaults = parser.isSet(preloadDefaults);
    args.options.portPath = parser.value(port).toStdString();
    args.options.storeFile = parser.value(store).toStdString();
    for (const QString& value : parser.values(preload)) {
        const std::string text = value.toStdString();
        const std::optional<ByteString> block =
            FromHex(std::string_view(text).substr(std::min<std::size_t>(2, text.size())));
        if (text.size() < 3 || text[1] != '=' || text[0] < '1' || text[0] > '3' || !block || block->empty())
            return Refuse("--preload wants TYPE=HEX with TYPE 1, 2 or 3: " + value);
        args.preloads.emplace_back(text[0] - '0', *block);
    }
    for (const QString& value : parser.values(fault)) {
        const std::optional<FaultOption> option = ParseFaultOption(value.toStdString());
        if (!option)
            return Refuse("--fault wants KIND[:VALUE][xCOUNT][@CODE]: " + value);
        args.faults.push_back(*option);
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv); // names the program in the help text
    Arguments args;
    if (const int status = Parse(QCoreApplication::arguments(), args); status >= 0)
        return status;

    // Blocked before the serving thread starts so that only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        ControllerSimulator simulator(args.options);
        if (args.preloadDefaults)
            simulator.PreloadDefaults();
        for (auto& [type, block] : args.preloads)
            simulator.Preload(type, std::move(block));
        for (const FaultOption& f : args.faults)
            simulator.InjectFault(f.fault, f.count, f.value, f.onlyMsgCode);
        simulator.Start();
        std::printf("%s\n", simulator.DevicePath().c_str());
        std::fflush(stdout);

        int received = 0;
        sigwait(&stopSignals, &received);
        simulator.Stop();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "talvor-controller-sim: %s\n", error.what());
        return 1;
    }
    return 0;
}
