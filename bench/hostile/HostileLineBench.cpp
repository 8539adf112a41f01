// What a hostile line costs: the reply decoder's throughput on the input that makes it work hardest,
// against the line rate it has to keep up with; and how long one request holds its caller while the
// line talks without end.
#include "seriallink/frame/FrameDecoder.h"
#include "seriallink/frame/MessageCodes.h"
#include "seriallink/link/SerialComm.h"
#include "sim/ControllerSimulator.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <random>

namespace {

constexpr double kLineBytesPerSecond = 1920; // 19200 bit/s, 10 bits a byte
constexpr std::size_t kReadCapacity = ReadNetAttrReplyCapacity;
constexpr std::size_t kStreamBytes = 1 << 20;
constexpr std::size_t kReadChunk = 512; // what the link takes from the port at a time

enum class Stream { LongHeaders, StartBytes, Noise };

// Headers announcing almost the read capacity, back to back: every one of them opens a frame that
// only ends, with a bad CRC, far behind the next ones. A decoder that rescans pays for each again.
std::vector<std::uint8_t> MakeStream(Stream kind) {
    std::vector<std::uint8_t> bytes(kStreamBytes);
    std::minstd_rand noise(7);
    constexpr std::uint32_t announced = ReadNetAttrReplyCapacity - 1;
    const std::uint8_t header[] = {frame::ReplyStart,
                                   MSGCODE_READ_NET_ATTR,
                                   0,
                                   2,
                                   1,
                                   std::uint8_t(announced >> 24),
                                   std::uint8_t(announced >> 16),
                                   std::uint8_t(announced >> 8),
                                   std::uint8_t(announced)};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        switch (kind) {
        case Stream::LongHeaders:
            bytes[i] = header[i % sizeof header];
            break;
        case Stream::StartBytes:
            bytes[i] = frame::ReplyStart;
            break;
        case Stream::Noise:
            bytes[i] = std::uint8_t(noise());
            break;
        }
    }
    return bytes;
}

void BM_DecoderWorstCase(benchmark::State& state) {
    const std::vector<std::uint8_t> stream = MakeStream(Stream(state.range(0)));
    FrameDecoder::Results found;
    for (auto _ : state) {
        FrameDecoder decoder(frame::ReplyStart, kReadCapacity);
        for (std::size_t at = 0; at < stream.size(); at += kReadChunk) {
            decoder.Feed(std::span(stream).subspan(at, kReadChunk), found);
            benchmark::DoNotOptimize(found.data());
        }
    }
    const double bytes = double(state.iterations()) * double(stream.size());
    state.SetBytesProcessed(std::int64_t(bytes));
    state.counters["x_line_rate"] =
        benchmark::Counter(bytes / kLineBytesPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecoderWorstCase)
    ->ArgName("stream")
    ->Arg(int(Stream::LongHeaders))
    ->Arg(int(Stream::StartBytes))
    ->Arg(int(Stream::Noise))
    ->Unit(benchmark::kMillisecond);

// One read request (the largest reply buffer the utility offers) against a simulator that answers it
// by talking for a minute.
void BM_RequestUnderEndlessTalk(benchmark::State& state) {
    const SimFault fault = SimFault(state.range(0));
    ControllerSimulator sim;
    sim.Start();
    ::setenv("TALVOR_COM1", sim.DevicePath().c_str(), 1);
    CSerialComm link;
    link.m_nSerialPort = 1;
    link.m_wCommParam = 0x1001;
    link.m_byNetworkType = 2;
    std::vector<std::uint8_t> reply(kReadCapacity);
    LinkResult result = 0;
    for (auto _ : state) {
        sim.InjectFault(fault);
        const auto start = std::chrono::steady_clock::now();
        std::uint32_t count = 0;
        result = link.InitializeCommMode();
        if (result == 0)
            result = link.ProccessMsgCode_NoThread(MSGCODE_READ_NET_ATTR, true, nullptr, 0, reply.data(),
                                                   kReadCapacity, &count);
        link.CloseComPort();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["link_code"] = double(result);
    ::unsetenv("TALVOR_COM1");
}
BENCHMARK(BM_RequestUnderEndlessTalk)
    ->ArgName("fault")
    ->Arg(int(SimFault::EndlessNoise))
    ->Arg(int(SimFault::EndlessTrickle))
    ->Arg(int(SimFault::EndlessHeaders))
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
