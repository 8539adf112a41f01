#include "sim/ControllerSimulator.h"

#include "model/Hex.h"
#include "model/NetAttributes.h"
#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/FrameDecoder.h"
#include "seriallink/frame/LinkCodes.h"
#include "seriallink/frame/MessageCodes.h"
#include "sim/ClientWatch.h"
#include "sim/ControllerLogic.h"
#include "sim/FaultOption.h"
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
#include <random>
#include <stdexcept>
#include <thread>
#include <unistd.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Without a client watch, a pty with no client is polled: often at first, as a client that closed
// usually opens again at once, then less often so that an idle simulator costs next to nothing.
constexpr int FirstIdlePollMs = 1;
constexpr int LastIdlePollMs = 20;
// A client that stops reading a reply for this long is not coming back for it.
constexpr int WriteStallMs = 1000;
// One byte more than the largest reply buffer the utility offers.
constexpr std::size_t OversizedPayload = std::size_t{ReadNetAttrReplyCapacity} + 1;
// A partial request followed by this much quiet was cut off: the sender has given up on it.
constexpr auto PartialFrameGap = std::chrono::milliseconds(100);
// The endless faults: the trickle's pace, the header's announced payload.
constexpr auto TrickleGap = std::chrono::milliseconds(90);
// Fits the read reply buffer, so a header is no damage, but never arrives.
constexpr std::uint32_t EndlessHeaderPayload = ReadNetAttrReplyCapacity - 1;
constexpr std::uint32_t NoiseSeed = 20261208;
// Holds a false reply start whose header announces an impossible length, so the client has to
// resynchronise on the real frame behind it.
const ByteString Noise{0x00, 0xFF, frame::ReplyStart, 0x13, 0xAA, frame::RequestStart, 0x13};

// A status, silence or endless talk stands for a controller that did not act on the request; the
// other faults damage the reply on its way back after the controller has acted.
bool ActsBeforeFault(SimFault fault) {
    switch (fault) {
    case SimFault::Status:
    case SimFault::NoReply:
    case SimFault::EndlessNoise:
    case SimFault::EndlessTrickle:
    case SimFault::EndlessHeaders:
        return false;
    default:
        return true;
    }
}

SimReply AtOnce(ByteString bytes) {
    SimReply reply;
    reply.parts.push_back({{}, std::move(bytes)});
    return reply;
}

struct PendingFault {
    SimFault fault;
    int remaining;
    std::uint32_t value; // a status, or a delay in milliseconds
    int onlyMsgCode;
};

} // namespace

struct ControllerSimulator::State {
    Options options;
    SimDevice device;
    ClientWatch watch;
    LineSettings line = *DecodeCommParam(COMM_PARAM_DEFAULT);
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
    // What the decoder found last: kept out of the decoder, which a client leaving replaces, perhaps
    // while these are being answered.
    FrameDecoder::Results found;
    Clock::time_point lineFreeAt;  // paced: when the request bytes read so far have all crossed the line
    Clock::time_point lastArrival; // of the latest request bytes

    Clock::duration ByteTime() const;
    void Serve();
    void WaitForClient(int& idlePollMs);
    void NoteCloses();
    void Consume(std::span<const std::uint8_t> bytes, Clock::time_point arrival);
    // False when the client left while being answered.
    bool Dispatch(FrameDecoder::Result& result);
    std::optional<SimReply> Respond(FrameDecoder::Result& found);
    SimReply Answer(const Frame& request);
    void Perform(const SimReply& reply, Clock::time_point received);
    void ClientLeft(bool counted);
    bool WaitForWake(int timeoutMs);
    // False when stopped first, or when asked to, by the client closing the port.
    bool SleepUntil(Clock::time_point deadline, bool untilClientCloses = false);
    void Send(ByteString bytes);
    bool Transmit(const ByteString& bytes, Clock::duration byteTime);
    void Talk(const SimReply& reply);
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
    if (s.device.isPty)
        s.watch = ClientWatch(s.device.path);
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

void ControllerSimulator::InjectFault(SimFault fault, int count, std::uint32_t value, int onlyMsgCode) {
    if (count <= 0)
        return;
    std::lock_guard lock(m_pState->mutex);
    m_pState->faults.push_back({fault, count, value, onlyMsgCode});
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

Clock::duration ControllerSimulator::State::ByteTime() const {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(line.bitsPerByte) / line.baudRate));
}

bool ControllerSimulator::State::WaitForWake(int timeoutMs) {
    pollfd wakeFd{wake[0], POLLIN, 0};
    return ::poll(&wakeFd, 1, timeoutMs) > 0;
}

bool ControllerSimulator::State::SleepUntil(Clock::time_point deadline, bool untilClientCloses) {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
        pollfd fds[2] = {{wake[0], POLLIN, 0}, {untilClientCloses ? watch.Fd() : -1, POLLIN, 0}};
        if (::ppoll(fds, 2, &timeout, nullptr) <= 0)
            continue;
        if (fds[0].revents != 0)
            return false;
        NoteCloses();
        if (!clientActive)
            return false;
    }
}

void ControllerSimulator::State::Serve() {
#ifdef __linux__
    // Paced bytes are timed to a few microseconds; the default timer slack would add 50.
    if (options.paceAtLineRate)
        ::prctl(PR_SET_TIMERSLACK, 1UL);
#endif
    std::uint8_t buffer[4096];
    bool lineDown = false;
    int idlePollMs = FirstIdlePollMs;
    while (running) {
        if (lineDown) {
            WaitForClient(idlePollMs);
            lineDown = false;
            continue;
        }
        // The watch also reports a client closing while someone else keeps the line up.
        pollfd fds[3] = {{device.fd, POLLIN, 0}, {wake[0], POLLIN, 0}, {watch.Fd(), POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "talvor-controller-sim: poll: %s\n", std::strerror(errno));
            return;
        }
        if (fds[1].revents != 0)
            return;
        const Clock::time_point arrival = Clock::now();
        // A client that closed before these bytes were written is finished with: count it first, so
        // that a quick close and re-open is not taken for one session.
        NoteCloses();
        if (fds[0].revents == 0)
            continue;
        const ssize_t n = ::read(device.fd, buffer, sizeof buffer);
        if (n > 0) {
            clientActive = true;
            idlePollMs = FirstIdlePollMs;
            Consume(std::span<const std::uint8_t>(buffer, std::size_t(n)), arrival);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // EIO on a pty master: nobody holds the slave open any more.
            NoteCloses();
            ClientLeft(!watch.Valid());
            lineDown = true;
        }
    }
}

void ControllerSimulator::State::WaitForClient(int& idlePollMs) {
    if (!watch.Valid()) {
        WaitForWake(idlePollMs);
        idlePollMs = std::min(2 * idlePollMs, LastIdlePollMs);
        return;
    }
    // A client may have opened after the line was found down but before its notice was taken with
    // the close: then the line is up again and nothing further will arrive on the watch.
    pollfd line{device.fd, POLLIN, 0};
    if (::poll(&line, 1, 0) >= 0 && (line.revents & POLLHUP) == 0)
        return;
    // Any open or close ends the wait; a stale close just leads back here after one look at the line.
    pollfd fds[2] = {{watch.Fd(), POLLIN, 0}, {wake[0], POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0 && errno == EINTR) {
    }
}

void ControllerSimulator::State::NoteCloses() {
    if (watch.Valid() && watch.TakeCloses() > 0)
        ClientLeft(true);
}

void ControllerSimulator::State::ClientLeft(bool counted) {
    if (clientActive) {
        clientActive = false;
        if (counted) {
            ++clientCloses;
            Log("client closed the port");
        }
    }
    decoder = FrameDecoder(frame::RequestStart, frame::MaxRequestPayload);
}

void ControllerSimulator::State::Consume(std::span<const std::uint8_t> bytes, Clock::time_point arrival) {
    if (decoder.InFrame() && arrival - lastArrival > PartialFrameGap) {
        Log("dropped a request cut off after %zu bytes", decoder.Buffered());
        decoder = FrameDecoder(frame::RequestStart, frame::MaxRequestPayload);
    }
    lastArrival = arrival;
    // A client that leaves while being answered takes the rest of what it sent with it, as it does a
    // request cut off.
    if (!options.paceAtLineRate) {
        decoder.Feed(bytes, found);
        for (FrameDecoder::Result& result : found)
            if (!Dispatch(result))
                return;
        return;
    }
    // On a real line a frame is only in once its last byte has crossed at the line rate, counted from
    // its first byte's arrival; the pty delivers it at once.
    const Clock::duration byteTime = ByteTime();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        lineFreeAt = std::max(lineFreeAt, arrival) + byteTime;
        decoder.Feed(bytes.subspan(i, 1), found);
        for (FrameDecoder::Result& result : found)
            if ((result.event != FrameDecoder::Event::Garbage && !SleepUntil(lineFreeAt)) ||
                !Dispatch(result))
                return;
    }
}

std::optional<SimReply> ControllerSimulator::Respond(FrameDecoder::Result& found) {
    return m_pState->Respond(found);
}

bool ControllerSimulator::State::Dispatch(FrameDecoder::Result& result) {
    const Clock::time_point received = Clock::now();
    if (const std::optional<SimReply> reply = Respond(result)) {
        Perform(*reply, received);
        // A reply or talk may have been cut short by the client's hang-up: its close is noted by now.
        NoteCloses();
    }
    return clientActive;
}

std::optional<SimReply> ControllerSimulator::State::Respond(FrameDecoder::Result& found) {
    const FrameHeader& h = found.header;
    switch (found.event) {
    case FrameDecoder::Event::Frame:
        return Answer({h, std::move(found.payload)});
    case FrameDecoder::Event::Garbage:
        Log("skipped %zu noise bytes", found.skipped);
        break;
    case FrameDecoder::Event::BadCrc:
        Log("request code=%u seq=%u: bad CRC -> status %u", h.msgCode, h.sequence, linkcode::Checksum);
        return AtOnce(EncodeReply(h.msgCode, linkcode::Checksum, h.networkType, h.sequence, {}));
    case FrameDecoder::Event::TooLong:
        Log("request code=%u seq=%u: payload length %u too long -> status %u", h.msgCode, h.sequence,
            h.payloadLength, linkcode::MessageLength);
        return AtOnce(EncodeReply(h.msgCode, linkcode::MessageLength, h.networkType, h.sequence, {}));
    }
    return std::nullopt;
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

SimReply ControllerSimulator::State::Answer(const Frame& request) {
    const FrameHeader& h = request.header;
    std::optional<PendingFault> fault;
    ControllerAnswer answer;
    {
        std::lock_guard lock(mutex);
        requests.push_back({h.msgCode, h.networkType, request.payload, h.control});
        fault = TakeFault(h.msgCode);
        if (fault && !ActsBeforeFault(fault->fault))
            answer.status = static_cast<std::uint8_t>(fault->value);
        else
            answer = AnswerRequest(request, store);
        if (answer.storeChanged)
            SaveLocked();
    }
    Log("request code=%u type=%u seq=%u payload=[%s] -> status %u, %zu reply bytes%s%s", h.msgCode,
        h.networkType, h.sequence, ToHex(request.payload).c_str(), answer.status, answer.payload.size(),
        fault ? ", fault " : "", fault ? FaultName(fault->fault) : "");

    if (!fault)
        return AtOnce(EncodeReply(h.msgCode, answer.status, h.networkType, h.sequence, answer.payload));
    SimReply reply;
    reply.request = h;
    std::uint8_t code = h.msgCode;
    std::uint8_t sequence = h.sequence;
    std::chrono::milliseconds after{};
    ByteString payload = std::move(answer.payload);
    switch (fault->fault) {
    case SimFault::NoReply:
        return reply;
    case SimFault::Echo:
        reply.parts.push_back({{}, EncodeFrame(h, request.payload)});
        [[fallthrough]];
    case SimFault::Late:
        after = std::chrono::milliseconds(fault->value);
        break;
    case SimFault::EndlessNoise:
    case SimFault::EndlessTrickle:
    case SimFault::EndlessHeaders:
        reply.talk = fault->fault;
        reply.talkGap = fault->fault == SimFault::EndlessTrickle ? TrickleGap : ByteTime();
        return reply;
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
    ByteString bytes = EncodeReply(code, answer.status, h.networkType, sequence, payload);
    switch (fault->fault) {
    case SimFault::BadChecksum:
        bytes.back() ^= 0xFF;
        break;
    case SimFault::TruncatedReply:
        bytes.resize(bytes.size() / 2);
        break;
    case SimFault::GarbageBeforeFrame:
        bytes.insert(bytes.begin(), Noise.begin(), Noise.end());
        break;
    default:
        break;
    }
    reply.parts.push_back({after, std::move(bytes)});
    return reply;
}

void ControllerSimulator::State::Perform(const SimReply& reply, Clock::time_point received) {
    for (const SimReply::Part& part : reply.parts) {
        if (part.after != part.after.zero() && !SleepUntil(received + part.after))
            return;
        Send(part.bytes);
    }
    if (reply.talk)
        Talk(reply);
}

void ControllerSimulator::State::Send(ByteString bytes) {
    Transmit(bytes, options.paceAtLineRate ? ByteTime() : Clock::duration::zero());
}

// Sends `bytes`, one per `byteTime` when that is not zero; false when they were abandoned.
bool ControllerSimulator::State::Transmit(const ByteString& bytes, Clock::duration byteTime) {
    const Clock::time_point start = Clock::now();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        std::size_t count = bytes.size() - sent;
        if (byteTime != Clock::duration::zero()) {
            // Each byte is handed over when its last bit would arrive; bytes whose time has passed
            // (a late wake-up) go together, so the rate never drifts.
            if (!SleepUntil(start + byteTime * Clock::duration::rep(sent + 1)))
                return false;
            const auto due = std::size_t((Clock::now() - start) / byteTime);
            count = std::min(bytes.size(), std::max(due, sent + 1)) - sent;
        }
        pollfd fds[2] = {{device.fd, POLLOUT, 0}, {wake[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, WriteStallMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || fds[1].revents != 0 || (fds[0].revents & (POLLHUP | POLLERR)) != 0) {
            Log("reply abandoned after %zu of %zu bytes", sent, bytes.size());
            return false;
        }
        const ssize_t n = ::write(device.fd, bytes.data() + sent, count);
        if (n > 0)
            sent += std::size_t(n);
        else if (errno != EAGAIN && errno != EINTR) {
            Log("reply abandoned: %s", std::strerror(errno));
            return false;
        }
    }
    return true;
}

SimTalker::SimTalker(const SimReply& reply) : m_fault(*reply.talk), m_noise(NoiseSeed) {
    const FrameHeader& request = reply.request;
    m_header = EncodeReply(request.msgCode, frame::StatusOk, request.networkType, request.sequence, {});
    m_header.resize(frame::HeaderSize - 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        m_header.push_back(std::uint8_t(EndlessHeaderPayload >> shift));
}

std::uint8_t SimTalker::Next() {
    const std::size_t index = m_sent++;
    switch (m_fault) {
    case SimFault::EndlessNoise:
        return std::uint8_t(m_noise());
    case SimFault::EndlessHeaders:
        return m_header[index % m_header.size()];
    default:
        return 0x00;
    }
}

// Talks in place of a reply until the client closes the port, stops reading, or the time is up.
void ControllerSimulator::State::Talk(const SimReply& reply) {
    SimTalker talker(reply);
    const Clock::time_point start = Clock::now();
    std::size_t sent = 0;
    for (;; ++sent) {
        const Clock::time_point due = start + reply.talkGap * Clock::duration::rep(sent + 1);
        if (due - start > SimTalker::Limit || !SleepUntil(due, true))
            break;
        if (!Transmit(ByteString{talker.Next()}, Clock::duration::zero()))
            break;
    }
    Log("stopped talking after %zu bytes", sent);
}
