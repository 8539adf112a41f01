#include "seriallink/frame/FrameDecoder.h"
#include "seriallink/frame/MessageCodes.h"
#include "tests/fuzz/FuzzInput.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

// The reply decoder must find the same frames and conditions however the line cuts the stream into
// reads, never hand out a payload above its capacity and never hold more than one frame's worth.
// Input: a capacity selector, a chunking seed, then the bytes on the line.
namespace {

// The reply buffers the link offers: none (a write), small ones, the status-id and the read buffer.
constexpr std::array<std::size_t, 5> kCapacities = {0, 4, 19, StatusIdReplyCapacity,
                                                    ReadNetAttrReplyCapacity};

using Result = FrameDecoder::Result;

bool Same(const Result& a, const Result& b) {
    const FrameHeader& x = a.header;
    const FrameHeader& y = b.header;
    return a.event == b.event && a.skipped == b.skipped && a.payload == b.payload && x.start == y.start &&
           x.msgCode == y.msgCode && x.control == y.control && x.networkType == y.networkType &&
           x.sequence == y.sequence && x.payloadLength == y.payloadLength;
}

// What one read gave: no payload above the capacity, each frame's as long as its header says, and
// never more than one frame's worth held.
void CheckBounds(const FrameDecoder& decoder, std::span<const Result> found, std::size_t capacity) {
    for (const Result& result : found)
        if (result.payload.size() > capacity || (result.event == FrameDecoder::Event::Frame &&
                                                 result.payload.size() != result.header.payloadLength))
            std::abort();
    if (decoder.Buffered() > frame::Overhead + capacity)
        std::abort();
}

// Decodes the stream again in reads whose sizes come from `nextSize` and checks that it finds what
// `whole` holds, in order.
template <class NextSize>
void ExpectSame(std::span<const std::uint8_t> stream, std::size_t capacity, NextSize nextSize,
                std::span<const Result> whole, bool wholeInFrame) {
    FrameDecoder decoder(frame::ReplyStart, capacity);
    FrameDecoder::Results found;
    std::size_t matched = 0;
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t size = std::min(nextSize(), stream.size() - at);
        decoder.Feed(stream.subspan(at, size), found);
        CheckBounds(decoder, found, capacity);
        for (const Result& result : found)
            if (matched == whole.size() || !Same(whole[matched++], result))
                std::abort();
        at += size;
    }
    if (matched != whole.size() || decoder.InFrame() != wholeInFrame)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::size_t capacity = kCapacities[input.Take() % kCapacities.size()];
    std::uint32_t seed = input.Take() | 1u;
    const std::span<const std::uint8_t> stream = input.Rest();

    // Read at once: the reference the other reads must match.
    FrameDecoder wholeDecoder(frame::ReplyStart, capacity);
    FrameDecoder::Results whole;
    wholeDecoder.Feed(stream, whole);
    CheckBounds(wholeDecoder, whole, capacity);
    const bool wholeInFrame = wholeDecoder.InFrame();

    ExpectSame(
        stream, capacity, [] { return std::size_t{1}; }, whole, wholeInFrame);
    ExpectSame(
        stream, capacity,
        [&] {
            // xorshift: reads of 1 to 32 bytes, the sizes a serial port delivers.
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            return std::size_t{1 + seed % 32};
        },
        whole, wholeInFrame);
    return 0;
}
