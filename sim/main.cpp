// talvor-controller-sim: plays a controller on a pseudo-terminal or a serial port until SIGTERM/SIGINT.

#include "sim/ControllerSimulator.h"
#include "sim/FaultOption.h"
#include "sim/Hex.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr char Usage[] =
    "Usage: talvor-controller-sim [OPTION]...\n"
    "Plays a controller on the device side of a serial line. Without --port it creates a\n"
    "pseudo-terminal and prints the device path a client opens as the first line of stdout.\n"
    "It answers status id (18), write (42) and read (43) requests as docs/link-protocol.md says,\n"
    "logs one line per request on stderr and ends on SIGTERM or SIGINT.\n"
    "\n"
    "  --port PATH           serve on this serial port (19200 bit/s, 8N1) instead of a new pty\n"
    "  --preload TYPE=HEX    store an attribute block for network type 1, 2 or 3,\n"
    "                        e.g. --preload 2=000C021E0000400004001400\n"
    "  --preload-defaults    store the default Ethernet, DeviceNet and Profibus blocks\n"
    "  --fault FAULT         damage the next replies; FAULT is KIND[:STATUS][xCOUNT][@CODE]:\n"
    "                        KIND one of status, no-reply, bad-crc, wrong-seq, wrong-code,\n"
    "                        truncated, garbage, oversized; STATUS the status byte of a status\n"
    "                        fault (0-255); COUNT how many replies (default 1); CODE only\n"
    "                        requests with this message code. Example: --fault status:22x2@42\n"
    "                        May be given several times; faults apply in the order given.\n"
    "  --pace                take requests and send replies at the line's byte rate (1920 bytes/s)\n"
    "  --store FILE          keep the stored blocks in FILE across runs (written atomically)\n"
    "  --quiet               do not log requests\n"
    "  --help                show this text\n";

struct Arguments {
    ControllerSimulator::Options options;
    std::vector<std::pair<int, ByteString>> preloads;
    bool preloadDefaults = false;
    std::vector<FaultOption> faults;
};

int Refuse(const std::string& message) {
    std::fprintf(stderr, "talvor-controller-sim: %s\nTry --help.\n", message.c_str());
    return 2;
}

// Returns the exit status to end with, or -1 to go on serving.
int Parse(int argc, char** argv, Arguments& args) {
    args.options.logRequests = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (option == "--preload-defaults") {
            args.preloadDefaults = true;
        } else if (option == "--pace") {
            args.options.paceAtLineRate = true;
        } else if (option == "--quiet") {
            args.options.logRequests = false;
        } else if (option == "--port" && hasValue) {
            args.options.portPath = argv[++i];
        } else if (option == "--store" && hasValue) {
            args.options.storeFile = argv[++i];
        } else if (option == "--preload" && hasValue) {
            const std::string_view value = argv[++i];
            const std::optional<ByteString> block =
                FromHex(value.substr(std::min<std::size_t>(2, value.size())));
            if (value.size() < 3 || value[1] != '=' || value[0] < '1' || value[0] > '3' || !block ||
                block->empty())
                return Refuse("--preload wants TYPE=HEX with TYPE 1, 2 or 3: " + std::string(value));
            args.preloads.emplace_back(value[0] - '0', *block);
        } else if (option == "--fault" && hasValue) {
            const std::optional<FaultOption> option = ParseFaultOption(argv[++i]);
            if (!option)
                return Refuse("--fault wants KIND[:STATUS][xCOUNT][@CODE]: " + std::string(argv[i]));
            args.faults.push_back(*option);
        } else {
            return Refuse("unknown or incomplete option " + std::string(option));
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (const int status = Parse(argc, argv, args); status >= 0)
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
            simulator.InjectFault(f.fault, f.count, f.status, f.onlyMsgCode);
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
