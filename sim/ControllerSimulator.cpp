#include "sim/ControllerSimulator.h"

#include "model/NetAttributes.h"
#include "seriallink/CommParam.h"
#include "seriallink/FrameDecoder.h"
#include "sim/ControllerLogic.h"
#include "sim/Hex.h"
#include "sim/SimDevice.h"
#include "sim/StoreFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// With no client on the pty the master reports a hang-up on every poll; look again this often.
constexpr int IdlePollMs = 20;
// A client that stops reading a reply for this long is not coming back for it.
constexpr int WriteStallMs = 1000;
constexpr std::size_t OversizedPayload = 100001;
const ByteString Noise{0x00, 0xFF, 0x55, 0xAA, frame::RequestStart, 0x13};

const char* FaultName(SimFault fault) {
    switch (fault) {
    case SimFault::Status:
        return "status";
    case SimFault::NoReply:
        return "no-reply";
    case SimFault::BadChecksum:
        return "bad-crc";
    case SimFault::WrongSequence:
        return "wrong-seq";
    case SimFault::WrongMessageCode:
        return "wrong-code";
    case SimFault::TruncatedReply:
        return "truncated";
    case SimFault::GarbageBeforeFrame:
        return "garbage";
    case SimFault::OversizedReply:
        return "oversized";
    }
    return "?";
}

struct PendingFault {
    SimFault fault;
    int remaining;
    std::uint32_t status;
    int onlyMsgCode;
};

} // namespace

struct ControllerSimulator::State {
    Options options;
    SimDevice device;
    LineSettings line = *DecodeCommParam(CommParamDefault);
    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> running{false};

    mutable std::mutex mutex;
    BlockStore store;
    std::vector<PendingFault> faults;
    std::vector<Request> requests;
    std::atomic<int> clientCloses{0};

    // Serving thread only.
    bool clientActive = false;
    FrameDecoder decoder{frame::RequestStart, frame::MaxRequestPayload};

    void Serve();
    void Consume(std::span<const std::uint8_t> bytes);
    void HandleRequest(const Frame& request);
    void ClientLeft();
    bool WaitForWake(int timeoutMs);
    void Send(ByteString bytes);
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SaveLocked();
    std::optional<PendingFault> TakeFault(std::uint8_t msgCode);
};

void ControllerSimulator::State::Log(const char* format, ...) {
    if (!options.logRequests)
        return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "talvor-controller-sim: %s\n", line);
}

ControllerSimulator::ControllerSimulator() : ControllerSimulator(Options{}) {}

ControllerSimulator::ControllerSimulator(Options options) : m_pState(std::make_unique<State>()) {
    State& s = *m_pState;
    s.options = std::move(options);
    if (!s.options.storeFile.empty())
        s.store = LoadStore(s.options.storeFile);
    s.device = s.options.portPath.empty() ? CreatePty() : OpenNamedPort(s.options.portPath, s.line.baudRate);
    if (::pipe2(s.wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(s.device.fd);
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
}

ControllerSimulator::~ControllerSimulator() {
    Stop();
    ::close(m_pState->device.fd);
    ::close(m_pState->wake[0]);
    ::close(m_pState->wake[1]);
}

const std::string& ControllerSimulator::DevicePath() const {
    return m_pState->device.path;
}

void ControllerSimulator::Start() {
    State& s = *m_pState;
    if (s.running.exchange(true))
        return;
    char drained[64];
    while (::read(s.wake[0], drained, sizeof drained) > 0) {
    }
    s.decoder = FrameDecoder(frame::RequestStart, frame::MaxRequestPayload);
    s.thread = std::thread([&s] { s.Serve(); });
}

void ControllerSimulator::Stop() {
    State& s = *m_pState;
    if (!s.running.exchange(false))
        return;
    const char wake = 1;
    (void)!::write(s.wake[1], &wake, 1);
    s.thread.join();
}

void ControllerSimulator::Preload(int networkType, ByteString block) {
    if (networkType < NetworkEthernet || networkType > NetworkProfibus)
        throw std::invalid_argument("network type must be 1 to 3");
    std::lock_guard lock(m_pState->mutex);
    m_pState->store[networkType - 1] = std::move(block);
    m_pState->SaveLocked();
}

void ControllerSimulator::PreloadDefaults() {
    for (NetworkType type : {NetworkEthernet, NetworkDeviceNet, NetworkProfibus})
        Preload(type, CNetAttributes(type).BuildBlock());
}

std::optional<ByteString> ControllerSimulator::StoredBlock(int networkType) const {
    if (networkType < NetworkEthernet || networkType > NetworkProfibus)
        return std::nullopt;
    std::lock_guard lock(m_pState->mutex);
    return m_pState->store[networkType - 1];
}

void ControllerSimulator::InjectFault(SimFault fault, int count, std::uint32_t statusCode, int onlyMsgCode) {
    if (count <= 0)
        return;
    std::lock_guard lock(m_pState->mutex);
    m_pState->faults.push_back({fault, count, statusCode, onlyMsgCode});
}

std::vector<ControllerSimulator::Request> ControllerSimulator::Requests() const {
    std::lock_guard lock(m_pState->mutex);
    return m_pState->requests;
}

void ControllerSimulator::ClearRequests() {
    std::lock_guard lock(m_pState->mutex);
    m_pState->requests.clear();
}

int ControllerSimulator::ClientCloses() const {
    return m_pState->clientCloses.load();
}

void ControllerSimulator::State::SaveLocked() {
    if (options.storeFile.empty())
        return;
    try {
        SaveStore(options.storeFile, store);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "talvor-controller-sim: %s\n", error.what());
    }
}

bool ControllerSimulator::State::WaitForWake(int timeoutMs) {
    pollfd wakeFd{wake[0], POLLIN, 0};
    return ::poll(&wakeFd, 1, timeoutMs) > 0;
}

void ControllerSimulator::State::Serve() {
    std::uint8_t buffer[4096];
    while (running) {
        pollfd fds[2] = {{device.fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "talvor-controller-sim: poll: %s\n", std::strerror(errno));
            return;
        }
        if (fds[1].revents != 0)
            return;
        const ssize_t n = ::read(device.fd, buffer, sizeof buffer);
        if (n > 0) {
            clientActive = true;
            Consume(std::span<const std::uint8_t>(buffer, std::size_t(n)));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // EIO on a pty master: nobody holds the slave open any more.
            ClientLeft();
        }
    }
}

void ControllerSimulator::State::ClientLeft() {
    if (clientActive) {
        clientActive = false;
        ++clientCloses;
        decoder = FrameDecoder(frame::RequestStart, frame::MaxRequestPayload);
        Log("client closed the port");
    }
    WaitForWake(IdlePollMs);
}

void ControllerSimulator::State::Consume(std::span<const std::uint8_t> bytes) {
    for (const FrameDecoder::Result& found : decoder.Feed(bytes)) {
        const FrameHeader& h = found.header;
        switch (found.event) {
        case FrameDecoder::Event::Frame:
            HandleRequest({h, found.payload});
            break;
        case FrameDecoder::Event::Garbage:
            Log("skipped %zu noise bytes", found.skipped);
            break;
        case FrameDecoder::Event::BadCrc:
            Log("request code=%u seq=%u: bad CRC -> status %u", h.msgCode, h.sequence, ctrl::StatusChecksum);
            Send(EncodeReply(h.msgCode, ctrl::StatusChecksum, h.networkType, h.sequence, {}));
            break;
        case FrameDecoder::Event::TooLong:
            Log("request code=%u seq=%u: payload length %u too long -> status %u", h.msgCode, h.sequence,
                h.payloadLength, ctrl::StatusLength);
            Send(EncodeReply(h.msgCode, ctrl::StatusLength, h.networkType, h.sequence, {}));
            break;
        }
    }
}

std::optional<PendingFault> ControllerSimulator::State::TakeFault(std::uint8_t msgCode) {
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->onlyMsgCode >= 0 && it->onlyMsgCode != msgCode)
            continue;
        PendingFault taken = *it;
        if (--it->remaining == 0)
            faults.erase(it);
        return taken;
    }
    return std::nullopt;
}

void ControllerSimulator::State::HandleRequest(const Frame& request) {
    const FrameHeader& h = request.header;
    std::optional<PendingFault> fault;
    ControllerAnswer answer;
    {
        std::lock_guard lock(mutex);
        requests.push_back({h.msgCode, h.networkType, request.payload});
        fault = TakeFault(h.msgCode);
        // A status or silence stands for a controller that did not act on the request; the other
        // faults damage the reply on its way back after the controller has acted.
        if (fault && (fault->fault == SimFault::Status || fault->fault == SimFault::NoReply))
            answer.status = static_cast<std::uint8_t>(fault->status);
        else
            answer = AnswerRequest(request, store);
        if (answer.storeChanged)
            SaveLocked();
    }
    Log("request code=%u type=%u seq=%u payload=[%s] -> status %u, %zu reply bytes%s%s", h.msgCode,
        h.networkType, h.sequence, ToHex(request.payload).c_str(), answer.status, answer.payload.size(),
        fault ? ", fault " : "", fault ? FaultName(fault->fault) : "");

    if (!fault) {
        Send(EncodeReply(h.msgCode, answer.status, h.networkType, h.sequence, answer.payload));
        return;
    }
    std::uint8_t code = h.msgCode;
    std::uint8_t sequence = h.sequence;
    ByteString payload = std::move(answer.payload);
    switch (fault->fault) {
    case SimFault::NoReply:
        return;
    case SimFault::WrongSequence:
        ++sequence;
        break;
    case SimFault::WrongMessageCode:
        ++code;
        break;
    case SimFault::OversizedReply:
        payload.assign(OversizedPayload, 0x00);
        break;
    default:
        break;
    }
    ByteString reply = EncodeReply(code, answer.status, h.networkType, sequence, payload);
    switch (fault->fault) {
    case SimFault::BadChecksum:
        reply.back() ^= 0xFF;
        break;
    case SimFault::TruncatedReply:
        reply.resize(reply.size() / 2);
        break;
    case SimFault::GarbageBeforeFrame:
        reply.insert(reply.begin(), Noise.begin(), Noise.end());
        break;
    default:
        break;
    }
    Send(std::move(reply));
}

void ControllerSimulator::State::Send(ByteString bytes) {
    const auto byteTime = std::chrono::microseconds(1'000'000LL * line.bitsPerByte / line.baudRate);
    // Paced output goes out in slices of about 10 ms of line time.
    const std::size_t slice =
        options.paceAtLineRate ? std::max<std::size_t>(1, 10'000 / byteTime.count()) : bytes.size();
    const Clock::time_point start = Clock::now();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (options.paceAtLineRate)
            std::this_thread::sleep_until(start + byteTime * sent);
        pollfd fds[2] = {{device.fd, POLLOUT, 0}, {wake[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, WriteStallMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || fds[1].revents != 0 || (fds[0].revents & (POLLHUP | POLLERR)) != 0) {
            Log("reply abandoned after %zu of %zu bytes", sent, bytes.size());
            return;
        }
        const ssize_t n = ::write(device.fd, bytes.data() + sent, std::min(slice, bytes.size() - sent));
        if (n > 0)
            sent += std::size_t(n);
        else if (errno != EAGAIN && errno != EINTR) {
            Log("reply abandoned: %s", std::strerror(errno));
            return;
        }
    }
}
