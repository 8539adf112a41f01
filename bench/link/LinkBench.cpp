// A status-id plus read-attributes pair through theApp against the controller simulator on a pty, and
// through a serial device server in front of it, against raw baselines from the least that moves the same
// bytes to what a correct port user does; what opening and closing costs; the simulator's latency after a
// hang-up; the paced pair against its wire time.
#include "app/NetConfigApp.h"
#include "link/MessageBoxSink.h"
#include "link/PortHold.h"
#include "platform/MessageBox.h"
#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/Frame.h"
#include "seriallink/serial/SerialPort.h"
#include "sim/ControllerSimulator.h"
#include "tests/support/DeviceServer.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::uint8_t kReadType = NetworkDeviceNet;

// Stops the benchmark on the first link failure instead of waiting on a box nobody answers.
class FailureWatch {
public:
    FailureWatch() {
        SetMessageBoxHook([this](const MessageBoxRecord& box) {
            failure = box.text.toStdString();
            return mb::RESULT_OK;
        });
    }
    ~FailureWatch() { SetMessageBoxHook(nullptr); }
    std::string failure;
};

// One simulator per benchmark, reached as COM1, holding `storedLength` bytes for the read.
// Unless `hangUps` is set, a keeper descriptor holds the pty slave open, as a real line stays up when
// the port closes; with it unset, the simulator sees every close as a hang-up.
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
        if (link.InitializeCommMode() != linkcode::Success ||
            link.ProccessMsgCode_NoThread(msgCode, msgCode != MSGCODE_STATUS_ID, nullptr, 0, reply, capacity,
                                          &count) != linkcode::Success)
            return false;
        link.CloseComPort();
    }
    return true;
}

// --- raw baselines: plain system calls, no checks beyond the frame length ---

// What a raw client does around the exchange, from the least that moves the bytes to what a correct
// port user does.
enum class RawClient {
    Bare,     // open, write, read, close
    Honest,   // also: exclusive use (TIOCEXCL and flock), line settings, stale input cleared
    LockFile, // also: the UUCP lock file the port library keeps, written through to the disk
};

struct RawPort {
    int fd = -1;
    std::string lockFile;
};

std::string LockFilePath(const std::string& device) {
    std::string name = device.starts_with("/dev/") ? device.substr(5) : device;
    std::replace(name.begin(), name.end(), '/', '_');
    return "/var/lock/LCK.." + name;
}

void RawClose(RawPort& port) {
    if (port.fd >= 0) {
        ::ioctl(port.fd, TIOCNXCL);
        ::close(port.fd);
    }
    if (!port.lockFile.empty())
        ::unlink(port.lockFile.c_str());
    port = {};
}

bool RawOpen(const std::string& device, RawClient kind, RawPort& port) {
    if (kind == RawClient::LockFile) {
        const std::string path = LockFilePath(device);
        const int lock = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (lock < 0)
            return false;
        port.lockFile = path;
        const std::string owner = std::to_string(::getpid()) + "\nbench_link\n";
        const bool written =
            ::write(lock, owner.data(), owner.size()) == ssize_t(owner.size()) && ::fdatasync(lock) == 0;
        ::close(lock);
        if (!written)
            return RawClose(port), false;
    }
    if (kind == RawClient::Bare) {
        port.fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
        return port.fd >= 0;
    }
    port.fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    const bool ok = port.fd >= 0 && ::ioctl(port.fd, TIOCEXCL) == 0 &&
                    ::flock(port.fd, LOCK_EX | LOCK_NB) == 0 && ::tcgetattr(port.fd, &tio) == 0;
    if (ok) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetspeed(&tio, B19200);
    }
    if (!ok || ::tcsetattr(port.fd, TCSANOW, &tio) != 0 || ::tcflush(port.fd, TCIFLUSH) != 0)
        return RawClose(port), false;
    return true;
}

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

bool RawExchange(const std::string& device, RawClient kind, const std::vector<std::uint8_t>& request,
                 std::vector<std::uint8_t>& reply) {
    RawPort port;
    if (!RawOpen(device, kind, port))
        return false;
    bool ok = ::write(port.fd, request.data(), request.size()) == ssize_t(request.size());
    reply.resize(frame::HeaderSize);
    ok = ok && ReadExactly(port.fd, reply.data(), frame::HeaderSize);
    if (ok) {
        const FrameHeader header =
            DecodeHeader(std::span<const std::uint8_t, frame::HeaderSize>(reply.data(), frame::HeaderSize));
        reply.resize(frame::HeaderSize + header.payloadLength + frame::CrcSize);
        ok = ReadExactly(port.fd, reply.data() + frame::HeaderSize, header.payloadLength + frame::CrcSize);
    }
    RawClose(port);
    return ok;
}

bool RawPair(const std::string& device, RawClient kind, std::uint8_t& sequence,
             std::vector<std::uint8_t>& reply) {
    return RawExchange(device, kind,
                       EncodeRequest(MSGCODE_STATUS_ID, frame::FlagPlcTarget, kReadType, ++sequence, {}),
                       reply) &&
           RawExchange(device, kind,
                       EncodeRequest(MSGCODE_READ_NET_ATTR, frame::FlagRequest | frame::FlagPlcTarget,
                                     kReadType, ++sequence, {}),
                       reply);
}

void MeasureStackPair(benchmark::State& state, const FailureWatch& watch) {
    ByteString block;
    for (auto _ : state) {
        if (!StackPair(block)) {
            state.SkipWithError(("link failed: " + watch.failure).c_str());
            break;
        }
        benchmark::DoNotOptimize(block.data());
    }
}

void BM_StackStatusIdAndRead(benchmark::State& state) {
    FailureWatch watch;
    Controller controller(false, CNetAttributes(NetworkDeviceNet).BuildBlock().size(), state.range(0) != 0);
    MeasureStackPair(state, watch);
}
BENCHMARK(BM_StackStatusIdAndRead)
    ->ArgName("hangups")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Points COM1 at the Telnet port with port control of a device server on loopback, in front of the
// simulator; an empty text when it serves.
std::string ServeOnLoopback(DeviceServer& server, const Controller& controller) {
    const std::string port = server.Add(controller.sim.DevicePath());
    const std::string failure = server.Start();
    ::setenv("TALVOR_COM1", port.c_str(), 1);
    return failure;
}

// The same pair through a device server: what the network hop and the server add to the local pty.
void BM_ServedStackStatusIdAndRead(benchmark::State& state) {
    FailureWatch watch;
    Controller controller(false, CNetAttributes(NetworkDeviceNet).BuildBlock().size());
    DeviceServer server;
    if (const std::string failure = ServeOnLoopback(server, controller); !failure.empty()) {
        state.SkipWithError(failure.c_str());
        return;
    }
    MeasureStackPair(state, watch);
}
BENCHMARK(BM_ServedStackStatusIdAndRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// range(0): the RawClient; range(1): whether the simulator sees each close as a hang-up.
void BM_RawStatusIdAndRead(benchmark::State& state) {
    const auto kind = RawClient(state.range(0));
    Controller controller(false, CNetAttributes(NetworkDeviceNet).BuildBlock().size(), state.range(1) != 0);
    const std::string device = controller.sim.DevicePath();
    std::uint8_t sequence = 0;
    std::vector<std::uint8_t> reply;
    for (auto _ : state) {
        if (!RawPair(device, kind, sequence, reply)) {
            state.SkipWithError("raw exchange failed");
            break;
        }
        benchmark::DoNotOptimize(reply.data());
    }
}
BENCHMARK(BM_RawStatusIdAndRead)
    ->ArgNames({"client", "hangups"})
    ->ArgsProduct({{int(RawClient::Bare), int(RawClient::Honest), int(RawClient::LockFile)}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A client that opens after the simulator has seen the previous one hang up: from the open to the
// whole reply. The pause lets the simulator settle into waiting for the next client.
void BM_ReopenLatency(benchmark::State& state) {
    Controller controller(false, CNetAttributes(NetworkDeviceNet).BuildBlock().size(), true);
    const std::string device = controller.sim.DevicePath();
    std::uint8_t sequence = 0;
    std::vector<std::uint8_t> reply;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const auto start = std::chrono::steady_clock::now();
        const bool ok = RawExchange(
            device, RawClient::Honest,
            EncodeRequest(MSGCODE_STATUS_ID, frame::FlagPlcTarget, kReadType, ++sequence, {}), reply);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!ok) {
            state.SkipWithError("raw exchange failed");
            break;
        }
    }
}
BENCHMARK(BM_ReopenLatency)->Unit(benchmark::kMillisecond)->UseManualTime();

// What opening and closing the port costs without an exchange: each raw client, and the link's port layer.
void BM_OpenClose(benchmark::State& state) {
    Controller controller(false, 0);
    const std::string device = controller.sim.DevicePath();
    for (auto _ : state) {
        bool ok = true;
        if (state.range(0) < 0) {
            std::unique_ptr<CSerialPort> port;
            ok = CSerialPort::Open(device, 19200, port) == 0;
        } else {
            RawPort port;
            ok = RawOpen(device, RawClient(state.range(0)), port);
            RawClose(port);
        }
        if (!ok) {
            state.SkipWithError("open failed");
            break;
        }
    }
}
// -1: the link's own port layer.
BENCHMARK(BM_OpenClose)
    ->ArgName("client")
    ->DenseRange(-1, int(RawClient::LockFile))
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_LibraryStatusIdAndRead(benchmark::State& state) {
    Controller controller(false, CNetAttributes(NetworkDeviceNet).BuildBlock().size());
    CSerialComm link;
    link.m_nSerialPort = 1;
    link.m_wCommParam = COMM_PARAM_DEFAULT;
    link.m_byNetworkType = kReadType;
    std::vector<std::uint8_t> reply(ReadNetAttrReplyCapacity);
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

// Times `pair` against the paced simulator and reports it against the wire time of the pair's bytes.
// `idle`, untimed, comes before each pair.
template <typename Pair>
void MeasurePaced(benchmark::State& state, const Controller& controller, Pair pair, std::size_t storedLength,
                  std::chrono::milliseconds idle = {}) {
    double seconds = 0;
    for (auto _ : state) {
        std::this_thread::sleep_for(idle);
        const auto start = std::chrono::steady_clock::now();
        const std::string failure = pair(controller.sim.DevicePath());
        const double pairSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(pairSeconds);
        seconds += pairSeconds;
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
    }
    const double perPair = seconds / double(state.iterations());
    state.counters["wire_ms"] = PairWireSeconds(storedLength, false) * 1000;
    state.counters["x_wire"] = perPair / PairWireSeconds(storedLength, false);
    state.counters["x_reply_wire"] = perPair / PairWireSeconds(storedLength, true);
}

void BM_PacedStackStatusIdAndRead(benchmark::State& state) {
    FailureWatch watch;
    Controller controller(true, std::size_t(state.range(0)));
    ByteString block;
    MeasurePaced(
        state, controller,
        [&](const std::string&) {
            return StackPair(block) ? std::string() : "link failed: " + watch.failure;
        },
        std::size_t(state.range(0)));
}

void BM_PacedRawStatusIdAndRead(benchmark::State& state) {
    Controller controller(true, std::size_t(state.range(0)));
    std::uint8_t sequence = 0;
    std::vector<std::uint8_t> reply;
    MeasurePaced(
        state, controller,
        [&](const std::string& device) {
            return RawPair(device, RawClient::Honest, sequence, reply) ? std::string()
                                                                       : "raw exchange failed";
        },
        std::size_t(state.range(0)));
}
// The paced pair on the local pty (served 0) or through a device server (served 1), with the port opened
// for each request as the dialog does (held 0) or held through the pair as the companion does (held 1);
// back to back (idle 0) or each on a server that has finished closing the last connection (idle 1: the
// server takes 10 ms and more to close its device, and a connection that comes sooner waits for it).
void BM_PacedServedPair(benchmark::State& state) {
    FailureWatch watch;
    const std::size_t stored = CNetAttributes(NetworkDeviceNet).BuildBlock().size();
    Controller controller(true, stored);
    DeviceServer server;
    if (state.range(0) != 0)
        if (const std::string failure = ServeOnLoopback(server, controller); !failure.empty()) {
            state.SkipWithError(failure.c_str());
            return;
        }
    ByteString block;
    const auto idle = std::chrono::milliseconds(state.range(2) != 0 ? 50 : 0);
    MeasurePaced(
        state, controller,
        [&](const std::string&) {
            std::optional<CPortHold> hold;
            if (state.range(1) != 0)
                hold.emplace(theApp);
            return StackPair(block) ? std::string() : "link failed: " + watch.failure;
        },
        stored, idle);
}
BENCHMARK(BM_PacedServedPair)
    ->ArgNames({"served", "held", "idle"})
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// Reads `count` bytes from a TCP connection, acknowledging each segment at once: a server that holds
// its next segment until the last is acknowledged would otherwise wait out the delayed acknowledgement.
bool ReceiveExactly(int fd, std::uint8_t* into, std::size_t count) {
    const int on = 1;
    while (count > 0) {
        ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 2000) <= 0)
            return false;
        const ssize_t n = ::recv(fd, into, count, 0);
        if (n <= 0)
            return false;
        into += n;
        count -= std::size_t(n);
    }
    return true;
}

// The least a client of a device server does for the pair: one raw TCP connection to the server's raw
// port (`url` is socket://127.0.0.1:PORT) without delay for small writes, each request sent and each
// reply read to its length.
bool RawServedPair(const std::string& url, std::uint8_t& sequence, std::vector<std::uint8_t>& reply) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(std::uint16_t(std::stoi(url.substr(url.rfind(':') + 1))));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    bool ok = fd >= 0 && ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 &&
              ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    using Request = std::pair<std::uint8_t, int>;
    for (const auto& [code, flags] :
         {Request{MSGCODE_STATUS_ID, frame::FlagPlcTarget},
          Request{MSGCODE_READ_NET_ATTR, frame::FlagRequest | frame::FlagPlcTarget}}) {
        const std::vector<std::uint8_t> request =
            EncodeRequest(code, std::uint8_t(flags), kReadType, ++sequence, {});
        ok = ok && ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size());
        reply.resize(frame::HeaderSize);
        ok = ok && ReceiveExactly(fd, reply.data(), frame::HeaderSize);
        if (!ok)
            break;
        const FrameHeader header =
            DecodeHeader(std::span<const std::uint8_t, frame::HeaderSize>(reply.data(), frame::HeaderSize));
        reply.resize(frame::HeaderSize + header.payloadLength + frame::CrcSize);
        ok = ReceiveExactly(fd, reply.data() + frame::HeaderSize, header.payloadLength + frame::CrcSize);
    }
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// The pair through one device server by a bare raw client (client 0), by the link over the same raw
// port (client 1) and by the link over the server's RFC 2217 port (client 2), the link holding the port
// through the pair as the companion does: what the server gathers and the hop cost, both pay alike. On the
// paced simulator or not (paced), back to back or each on a server that has closed the last connection
// (idle).
void BM_ServedPairAgainstRawClient(benchmark::State& state) {
    FailureWatch watch;
    const std::size_t stored = CNetAttributes(NetworkDeviceNet).BuildBlock().size();
    Controller controller(state.range(1) != 0, stored);
    DeviceServer server;
    const std::string raw = server.Add(controller.sim.DevicePath(), DeviceServer::Accepter::Raw);
    const std::string telnet = server.Add(controller.sim.DevicePath());
    if (const std::string failure = server.Start(); !failure.empty()) {
        state.SkipWithError(failure.c_str());
        return;
    }
    // Start's probes of both ports open the device, and the server turns a client away while it is still
    // closing it ("Port's device already in use").
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const int client = int(state.range(0));
    ::setenv("TALVOR_COM1", (client == 2 ? telnet : raw).c_str(), 1);
    std::uint8_t sequence = 0;
    std::vector<std::uint8_t> reply;
    ByteString block;
    MeasurePaced(
        state, controller,
        [&](const std::string&) {
            if (client == 0)
                return RawServedPair(raw, sequence, reply) ? std::string() : "raw exchange failed";
            CPortHold hold(theApp);
            return StackPair(block) ? std::string() : "link failed: " + watch.failure;
        },
        stored, std::chrono::milliseconds(state.range(2) != 0 ? 50 : 0));
}
BENCHMARK(BM_ServedPairAgainstRawClient)
    ->ArgNames({"client", "paced", "idle"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// The real DeviceNet block, and a long block where the line time dominates.
BENCHMARK(BM_PacedStackStatusIdAndRead)->Arg(12)->Arg(1024)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_PacedRawStatusIdAndRead)->Arg(12)->Arg(1024)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    theApp.m_pMessageSink = &MessageBoxSink();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
