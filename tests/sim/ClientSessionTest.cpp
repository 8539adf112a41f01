// The simulator's side of client sessions on its pty, seen by a client on plain system calls: which
// closes it counts, that it serves whoever opens next however soon or late, and paced requests.
#include "sim/ControllerSimulator.h"

#include "model/NetAttributes.h"
#include "seriallink/frame/Frame.h"
#include "seriallink/frame/MessageCodes.h"
#include "sim/ControllerLogic.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t StatusId = MSGCODE_STATUS_ID, ReadNetAttr = MSGCODE_READ_NET_ATTR;
const ByteString StatusIdReply = ctrl::StatusIdPayload;

// Reads what the simulator answers until a whole reply frame is in, the line stays quiet for two
// seconds or the peer is gone.
ByteString ReadReply(int fd) {
    ByteString reply;
    std::uint8_t chunk[256];
    pollfd ready{fd, POLLIN, 0};
    while (::poll(&ready, 1, 2000) > 0) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        reply.insert(reply.end(), chunk, chunk + n);
        if (reply.size() >= frame::HeaderSize &&
            reply.size() == frame::Overhead + DecodeHeader(std::span<const std::uint8_t, frame::HeaderSize>(
                                                               reply.data(), frame::HeaderSize))
                                                  .payloadLength)
            break;
    }
    return reply;
}

ByteString PayloadOf(const ByteString& reply) {
    if (reply.size() < frame::Overhead)
        return {};
    return ByteString(reply.begin() + frame::HeaderSize, reply.end() - frame::CrcSize);
}

int OpenDevice(const ControllerSimulator& sim) {
    return ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

// What a client sends between its open and its close: as many status-id requests as the value, at once.
enum class Send {
    Nothing,
    Request,     // then it reads the reply
    TwoIntoTalk, // the first answered by endless talk, which the client leaves as it begins
};

// One session: open, send, close; the reply's payload when a reply was read.
ByteString Session(const ControllerSimulator& sim, Send send, std::uint8_t sequence = 1) {
    const int fd = OpenDevice(sim);
    EXPECT_GE(fd, 0);
    const ByteString one = EncodeRequest(StatusId, frame::FlagPlcTarget, 0, sequence, {});
    ByteString requests;
    for (int i = 0; i < int(send); ++i)
        requests.insert(requests.end(), one.begin(), one.end());
    EXPECT_EQ(::write(fd, requests.data(), requests.size()), ssize_t(requests.size()));
    const ByteString payload = send == Send::Request ? PayloadOf(ReadReply(fd)) : ByteString{};
    pollfd talk{fd, POLLIN, 0};
    EXPECT_TRUE(send != Send::TwoIntoTalk || ::poll(&talk, 1, 2000) == 1) << "the talk has begun";
    ::close(fd);
    return payload;
}

int WaitForCloses(const ControllerSimulator& sim, int expected) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (sim.ClientCloses() < expected && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    // Give a wrongly counted extra close the chance to show.
    std::this_thread::sleep_for(20ms);
    return sim.ClientCloses();
}

struct CloseCase {
    const char* name;
    int sessions;
    Send send;
    bool otherHolder; // another descriptor keeps the slave open throughout: no hang-up is ever seen
    int expectedCloses;
};

class ClientCloses : public testing::TestWithParam<CloseCase> {};

TEST_P(ClientCloses, CountsEachClientThatUsedTheDevice) {
    const CloseCase& c = GetParam();
    ControllerSimulator sim;
    if (c.send == Send::TwoIntoTalk)
        sim.InjectFault(SimFault::EndlessNoise, c.sessions);
    sim.Start();
    const int holder = c.otherHolder ? OpenDevice(sim) : -1;
    // Each close is followed at once or within a few tens of microseconds by the next open, so that
    // some opens fall between the simulator seeing the hang-up and it taking the close notice.
    for (int i = 0; i < c.sessions; ++i) {
        EXPECT_EQ(Session(sim, c.send, std::uint8_t(i + 1)),
                  c.send == Send::Request ? StatusIdReply : ByteString{})
            << "session " << i;
        const auto reopen = std::chrono::steady_clock::now() + std::chrono::microseconds(i * 7 % 150);
        while (std::chrono::steady_clock::now() < reopen) {
        }
    }
    EXPECT_EQ(WaitForCloses(sim, c.expectedCloses), c.expectedCloses);
    EXPECT_EQ(sim.Requests().size(), c.send == Send::Nothing ? 0u : std::size_t(c.sessions))
        << "a client that left is answered no more";
    if (holder >= 0)
        ::close(holder);
}

INSTANTIATE_TEST_SUITE_P(Table, ClientCloses,
                         testing::Values(CloseCase{"OneSession", 1, Send::Request, false, 1},
                                         CloseCase{"QuickReopens", 1000, Send::Request, false, 1000},
                                         CloseCase{"WhileAnotherHoldsTheDevice", 5, Send::Request, true, 5},
                                         CloseCase{"OpenedButNeverUsed", 3, Send::Nothing, false, 0},
                                         CloseCase{"LeavingDuringTalk", 1, Send::TwoIntoTalk, false, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClientSessions, ClientArrivingLongAfterTheLastOneLeftIsServed) {
    ControllerSimulator sim;
    sim.Start();
    EXPECT_EQ(Session(sim, Send::Request, 1), StatusIdReply) << "nobody had opened the device before";
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Session(sim, Send::Request, 2), StatusIdReply);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Session(sim, Send::Request, 3), StatusIdReply);
    EXPECT_EQ(WaitForCloses(sim, 3), 3);
}

TEST(ClientSessions, RequestCutOffIsDroppedAfterAGapNotAnsweredLater) {
    ControllerSimulator sim;
    sim.Start();
    const int fd = OpenDevice(sim);
    ASSERT_GE(fd, 0);
    const ByteString abandoned = EncodeRequest(StatusId, frame::FlagPlcTarget, 0, 1, {});
    ASSERT_EQ(::write(fd, abandoned.data(), 6), 6);
    std::this_thread::sleep_for(200ms);
    const ByteString request = EncodeRequest(StatusId, frame::FlagPlcTarget, 0, 2, {});
    ASSERT_EQ(::write(fd, request.data(), request.size()), ssize_t(request.size()));
    const ByteString reply = ReadReply(fd);
    ::close(fd);
    ASSERT_GE(reply.size(), frame::HeaderSize);
    EXPECT_EQ(reply[4], 2) << "the first reply answers the whole request, not the abandoned one";
    EXPECT_EQ(PayloadOf(reply), StatusIdReply);
}

ControllerSimulator::Options Paced() {
    ControllerSimulator::Options options;
    options.paceAtLineRate = true;
    return options;
}

TEST(PacedSimulator, RequestTricklingInWithNoiseAheadIsAnsweredOnce) {
    ControllerSimulator sim(Paced());
    sim.PreloadDefaults();
    sim.Start();
    const int fd = OpenDevice(sim);
    ASSERT_GE(fd, 0);
    ByteString bytes{0x00, 0x13, 0xFF};
    const ByteString request = EncodeRequest(ReadNetAttr, frame::FlagRequest, NetworkDeviceNet, 7, {});
    bytes.insert(bytes.end(), request.begin(), request.end());
    for (std::uint8_t byte : bytes) {
        ASSERT_EQ(::write(fd, &byte, 1), 1);
        std::this_thread::sleep_for(300us);
    }
    const ByteString reply = ReadReply(fd);
    ::close(fd);
    EXPECT_EQ(PayloadOf(reply), CNetAttributes(NetworkDeviceNet).BuildBlock());
    ASSERT_EQ(sim.Requests().size(), 1u);
    EXPECT_EQ(sim.Requests()[0].msgCode, ReadNetAttr);
}

TEST(PacedSimulator, StoppingInTheMiddleOfALongReplyDoesNotWaitForItsLineTime) {
    auto sim = std::make_unique<ControllerSimulator>(Paced());
    // About 52 seconds of line time at 19200 bit/s.
    sim->InjectFault(SimFault::OversizedReply);
    sim->Start();
    const int fd = OpenDevice(*sim);
    ASSERT_GE(fd, 0);
    const ByteString request = EncodeRequest(StatusId, 0, 0, 1, {});
    ASSERT_EQ(::write(fd, request.data(), request.size()), ssize_t(request.size()));
    std::uint8_t first = 0;
    pollfd ready{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 2000), 1) << "the reply has begun";
    ASSERT_EQ(::read(fd, &first, 1), 1);
    EXPECT_EQ(first, frame::ReplyStart);

    const auto start = std::chrono::steady_clock::now();
    sim.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    ::close(fd);
}

} // namespace
