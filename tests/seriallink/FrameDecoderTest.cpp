#include "seriallink/frame/FrameDecoder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Event = FrameDecoder::Event;

Bytes Reply(std::uint8_t code, std::uint8_t seq, const Bytes& payload) {
    return EncodeReply(code, 0, 2, seq, payload);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A compact, comparable trace of what the decoder reported.
std::string Trace(const std::vector<FrameDecoder::Result>& results) {
    std::string trace;
    for (const auto& r : results) {
        switch (r.event) {
        case Event::Frame:
            trace += "F" + std::to_string(r.header.sequence) + "/" + std::to_string(r.payload.size()) + " ";
            break;
        case Event::Garbage:
            trace += "G" + std::to_string(r.skipped) + " ";
            break;
        case Event::BadCrc:
            trace += "C" + std::to_string(r.header.sequence) + " ";
            break;
        case Event::TooLong:
            trace += "L" + std::to_string(r.header.payloadLength) + " ";
            break;
        }
    }
    return trace;
}

std::vector<FrameDecoder::Result> FeedInChunks(const Bytes& stream, std::size_t capacity,
                                               const std::vector<std::size_t>& chunkSizes) {
    FrameDecoder decoder(frame::ReplyStart, capacity);
    std::vector<FrameDecoder::Result> all;
    FrameDecoder::Results found;
    std::size_t at = 0;
    for (std::size_t i = 0; at < stream.size(); ++i) {
        const std::size_t n = std::min(chunkSizes[i % chunkSizes.size()], stream.size() - at);
        decoder.Feed(std::span(stream.data() + at, n), found);
        all.insert(all.end(), found.begin(), found.end());
        at += n;
    }
    return all;
}

Bytes DamagedCrc(Bytes frame) {
    frame.back() ^= 0x01;
    return frame;
}

// Noise, a good frame, a damaged one, an over-long header, a frame right after it and an empty one.
Bytes MixedStream() {
    Bytes tooLong = Reply(43, 9, Bytes(40, 0x11));
    return Concat({{0x00, 0x13, 0xA5},
                   Reply(18, 1, {0x54, 0x56, 0x01, 0x00}),
                   DamagedCrc(Reply(42, 2, {})),
                   Reply(43, 3, Bytes(19, 0x5A)),
                   Bytes(tooLong.begin(), tooLong.begin() + 9),
                   Reply(43, 4, {}),
                   {0xFF},
                   Reply(18, 5, Bytes(32, 0x00))});
}

TEST(FrameDecoder, ReportsEachConditionInStreamOrder) {
    const auto results = FeedInChunks(MixedStream(), 32, {std::size_t(-1)});
    // The rest of a rejected frame is rescanned and, holding no start byte, reported as noise.
    EXPECT_EQ(Trace(results), "G3 F1/4 C2 G10 F3/19 L40 G8 F4/0 G1 F5/32 ");
    EXPECT_EQ(results[1].payload, (Bytes{0x54, 0x56, 0x01, 0x00}));
    EXPECT_EQ(results[4].payload, Bytes(19, 0x5A)) << "start bytes inside a payload are data";
}

TEST(FrameDecoder, ChunkingDoesNotChangeTheResult) {
    const Bytes stream = MixedStream();
    const std::string whole = Trace(FeedInChunks(stream, 32, {stream.size()}));
    EXPECT_EQ(Trace(FeedInChunks(stream, 32, {1})), whole);
    std::mt19937 random(20240601);
    for (int round = 0; round < 50; ++round) {
        std::vector<std::size_t> sizes(8);
        for (auto& s : sizes)
            s = 1 + random() % 23;
        EXPECT_EQ(Trace(FeedInChunks(stream, 32, sizes)), whole) << "round " << round;
    }
}

TEST(FrameDecoder, FindsFrameStartingInsideARejectedOne) {
    // A stray start byte makes the decoder take the real frame's header for payload; after the
    // CRC fails it must rescan and still find the real frame.
    const Bytes good = Reply(43, 7, {0x00, 0x02});
    const Bytes stream = Concat({{frame::ReplyStart, 0x2B, 0x00, 0x02, 0x07, 0x00, 0x00, 0x00, 0x00}, good});
    const auto results = FeedInChunks(stream, 100, {1});
    ASSERT_FALSE(results.empty());
    EXPECT_EQ(results.back().event, Event::Frame);
    EXPECT_EQ(results.back().payload, (Bytes{0x00, 0x02}));
}

TEST(FrameDecoder, NeverBuffersBeyondOneFrameOfCapacity) {
    constexpr std::size_t capacity = 16;
    FrameDecoder decoder(frame::ReplyStart, capacity);
    FrameDecoder::Results found;
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        const std::uint8_t byte = static_cast<std::uint8_t>(random() % 4 == 0 ? frame::ReplyStart : random());
        decoder.Feed(std::span(&byte, 1), found);
        for (const auto& r : found)
            EXPECT_LE(r.payload.size(), capacity);
        ASSERT_LE(decoder.Buffered(), frame::Overhead + capacity);
    }
}

struct CapacityCase {
    const char* name;
    std::size_t payload;
    std::size_t capacity;
    Event expected;
};

class FrameDecoderCapacity : public testing::TestWithParam<CapacityCase> {};

TEST_P(FrameDecoderCapacity, AcceptsUpToCapacityAndRejectsBeyond) {
    const auto& c = GetParam();
    const auto results = FeedInChunks(Reply(43, 1, Bytes(c.payload, 0x42)), c.capacity, {5});
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].event, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FrameDecoderCapacity,
                         testing::Values(CapacityCase{"EmptyIntoZero", 0, 0, Event::Frame},
                                         CapacityCase{"OneIntoZero", 1, 0, Event::TooLong},
                                         CapacityCase{"Exact", 19, 19, Event::Frame},
                                         CapacityCase{"OneOver", 20, 19, Event::TooLong}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FrameDecoder, IgnoresFramesOfTheOtherDirection) {
    const Bytes request = EncodeRequest(18, frame::FlagPlcTarget, 0, 1, {});
    FrameDecoder decoder(frame::ReplyStart, 100);
    FrameDecoder::Results found(1);
    decoder.Feed(request, found);
    EXPECT_TRUE(found.empty()) << "what the last call found is replaced";
    EXPECT_FALSE(decoder.InFrame());
}

} // namespace
