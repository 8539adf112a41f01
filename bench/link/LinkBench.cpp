// A status-id plus read-attributes pair through theApp against the controller simulator on a pty,
// against a raw baseline doing the least the same pair needs; and the paced pair against its wire time.
#include "app/NetConfigApp.h"
#include "platform/MessageBox.h"
#include "seriallink/CommParam.h"
#include "seriallink/Frame.h"
#include "sim/ControllerSimulator.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

constexpr std::uint8_t kReadType = NetworkDeviceNet;

// Stops the benchmark on the first link failure instead of waiting on a box nobody answers.
class FailureWatch {
public:
    FailureWatch() {
        SetMessageBoxHook([this](const MessageBoxRecord& box) {
            failure = box.text.toStdString();
            return IDOK;
        });
    }
    ~FailureWatch() { SetMessageBoxHook(nullptr); }
    std::string failure;
};

// One simulator per benchmark, reached as COM1, holding `storedLength` bytes for the read.
// Unless `hangUps` is set, a keeper descriptor holds the pty slave open, as a real line stays up when
// the port closes: otherwise the simulator sees every close as a hang-up and idles for a while before
// it looks at the line again, which would be measured instead of the link.
struct Controller {
    Controller(bool paced, std::size_t storedLength, bool hangUps = false)
        : sim(ControllerSimulator::Options{{}, paced, {}, false}) {
        ByteString block = CNetAttributes(NetworkDeviceNet).BuildBlock();
        block.resize(storedLength, 0x5A);
        sim.Preload(kReadType, block);
        sim.Start();
        if (!hangUps)
            keeper = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY);
        ::setenv("TALVOR_COM1", sim.DevicePath().c_str(), 1);
        theApp.m_nComPort = 0;
    }
    ~Controller() {
        if (keeper >= 0)
            ::close(keeper);
    }
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    ControllerSimulator sim;
    int keeper = -1;
};

bool StackPair(ByteString& block) {
    return theApp.ReadStatusId() && theApp.ReadNetAttributes(block, NetworkDeviceNet);
}

// The same pair on the link library alone, without the application's layer on top.
bool LibraryPair(CSerialComm& link, std::uint8_t* reply, std::uint32_t capacity) {
    std::uint32_t count = 0;
    for (std::uint8_t msgCode : {MSGCODE_STATUS_ID, MSGCODE_READ_NET_ATTR}) {
        link.m_bPLCTarget = 1;
        if (link.InitializeCommMode() != 0 ||
            link.ProccessMsgCode_NoThread(msgCode, msgCode != MSGCODE_STATUS_ID, nullptr, 0, reply, capacity,
                                          &count) != 0)
            return false;
        link.CloseComPort();
    }
    return true;
}

// --- raw baseline: plain system calls, no checks beyond the frame length ---

bool ReadExactly(int fd, std::uint8_t* into, std::size_t count) {
    while (count > 0) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 2000) <= 0)
            return false;
        const ssize_t n = ::read(fd, into, count);
        if (n <= 0)
            return false;
        into += n;
        count -= std::size_t(n);
    }
    return true;
}

bool RawExchange(const std::string& device, const std::vector<std::uint8_t>& request,
                 std::vector<std::uint8_t>& reply) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, request.data(), request.size()) == ssize_t(request.size());
    reply.resize(frame::HeaderSize);
    ok = ok && ReadExactly(fd, reply.data(), frame::HeaderSize);
    if (ok) {
        const FrameHeader header =
            DecodeHeader(std::span<const std::uint8_t, frame::HeaderSize>(reply.data(), frame::HeaderSize));
        reply.resize(frame::HeaderSize + header.payloadLength + frame::CrcSize);
        ok = ReadExactly(fd, reply.data() + frame::HeaderSize, header.payloadLength + frame::CrcSize);
    }
    ::close(fd);
    return ok;
}

void BM_StackStatusIdAndRead(benchmark::State& state) {
    FailureWatch watch;
    Controller controller(false, CNetAttributes(NetworkDeviceNet).BuildBlock().size(), state.range(0) != 0);
    ByteString block;
    for (auto _ : state) {
        if (!StackPair(block)) {
            state.SkipWithError(("link failed: " + watch.failure).c_str());
            break;
        }
        benchmark::DoNotOptimize(block.data());
    }
}
BENCHMARK(BM_StackStatusIdAndRead)
    ->ArgName("hangups")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_RawStatusIdAndRead(benchmark::State& state) {
    Controller controller(false, CNetAttributes(NetworkDeviceNet).BuildBlock().size(), state.range(0) != 0);
    const std::string device = controller.sim.DevicePath();
    std::uint8_t sequence = 0;
    std::vector<std::uint8_t> reply;
    for (auto _ : state) {
        const bool ok =
            RawExchange(device,
                        EncodeRequest(MSGCODE_STATUS_ID, frame::FlagPlcTarget, kReadType, ++sequence, {}),
                        reply) &&
            RawExchange(device,
                        EncodeRequest(MSGCODE_READ_NET_ATTR, frame::FlagRequest | frame::FlagPlcTarget,
                                      kReadType, ++sequence, {}),
                        reply);
        if (!ok) {
            state.SkipWithError("raw exchange failed");
            break;
        }
        benchmark::DoNotOptimize(reply.data());
    }
}
BENCHMARK(BM_RawStatusIdAndRead)
    ->ArgName("hangups")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_LibraryStatusIdAndRead(benchmark::State& state) {
    Controller controller(false, CNetAttributes(NetworkDeviceNet).BuildBlock().size());
    CSerialComm link;
    link.m_nSerialPort = 1;
    link.m_wCommParam = COMM_PARAM_DEFAULT;
    link.m_byNetworkType = kReadType;
    std::vector<std::uint8_t> reply(100000);
    for (auto _ : state) {
        if (!LibraryPair(link, reply.data(), std::uint32_t(reply.size()))) {
            state.SkipWithError("library exchange failed");
            break;
        }
        benchmark::DoNotOptimize(reply.data());
    }
}
BENCHMARK(BM_LibraryStatusIdAndRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// Time on a real line for the bytes of one pair: both requests and both replies.
double PairWireSeconds(std::size_t storedLength, bool repliesOnly) {
    const LineSettings line = *DecodeCommParam(COMM_PARAM_DEFAULT);
    const std::size_t statusIdReply = 4; // the simulator's status-id payload
    std::size_t bytes = 2 * frame::Overhead + statusIdReply + storedLength;
    if (!repliesOnly)
        bytes += 2 * frame::Overhead;
    return double(bytes) * line.bitsPerByte / line.baudRate;
}

void BM_PacedStackStatusIdAndRead(benchmark::State& state) {
    const auto storedLength = std::size_t(state.range(0));
    FailureWatch watch;
    Controller controller(true, storedLength);
    ByteString block;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = StackPair(block);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) {
            state.SkipWithError(("link failed: " + watch.failure).c_str());
            break;
        }
    }
    const double perPair = seconds / double(state.iterations());
    state.counters["wire_ms"] = PairWireSeconds(storedLength, false) * 1000;
    state.counters["x_wire"] = perPair / PairWireSeconds(storedLength, false);
    state.counters["x_reply_wire"] = perPair / PairWireSeconds(storedLength, true);
}
// The real DeviceNet block, and a long block where the line time dominates.
BENCHMARK(BM_PacedStackStatusIdAndRead)->Arg(12)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
