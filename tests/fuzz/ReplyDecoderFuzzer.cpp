#include "seriallink/FrameDecoder.h"
#include "seriallink/MessageCodes.h"
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

using Trace = std::vector<FrameDecoder::Result>;

bool Same(const FrameDecoder::Result& a, const FrameDecoder::Result& b) {
    const FrameHeader& x = a.header;
    const FrameHeader& y = b.header;
    return a.event == b.event && a.skipped == b.skipped && a.payload == b.payload && x.start == y.start &&
           x.msgCode == y.msgCode && x.control == y.control && x.networkType == y.networkType &&
           x.sequence == y.sequence && x.payloadLength == y.payloadLength;
}

// Feeds the stream in chunks whose sizes come from `nextSize`, checking the bounds after each one and
// handing each result to `take`.
template <class NextSize, class Take>
bool Decode(std::span<const std::uint8_t> stream, std::size_t capacity, NextSize nextSize, Take take) {
    FrameDecoder decoder(frame::ReplyStart, capacity);
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t size = std::min(nextSize(), stream.size() - at);
        for (FrameDecoder::Result& found : decoder.Feed(stream.subspan(at, size))) {
            const bool frameFound = found.event == FrameDecoder::Event::Frame;
            if (found.payload.size() > capacity ||
                (frameFound && found.payload.size() != found.header.payloadLength))
                std::abort();
            take(std::move(found));
        }
        if (decoder.Buffered() > frame::Overhead + capacity)
            std::abort();
        at += size;
    }
    return decoder.InFrame();
}

// Decodes the stream again in other chunks and checks that it finds what `whole` holds, in order.
template <class NextSize>
void ExpectSame(std::span<const std::uint8_t> stream, std::size_t capacity, NextSize nextSize,
                const Trace& whole, bool wholeInFrame) {
    std::size_t matched = 0;
    const bool inFrame = Decode(stream, capacity, nextSize, [&](FrameDecoder::Result&& found) {
        if (matched == whole.size() || !Same(whole[matched++], found))
            std::abort();
    });
    if (matched != whole.size() || inFrame != wholeInFrame)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::size_t capacity = kCapacities[input.Take() % kCapacities.size()];
    std::uint32_t seed = input.Take() | 1u;
    const std::span<const std::uint8_t> stream = input.Rest();

    Trace whole;
    const bool wholeInFrame = Decode(
        stream, capacity, [&] { return stream.size(); },
        [&](FrameDecoder::Result&& found) { whole.push_back(std::move(found)); });

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
