#include "seriallink/FrameDecoder.h"
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
constexpr std::array<std::size_t, 5> kCapacities = {0, 4, 19, 65535, 100000};

using Trace = std::vector<FrameDecoder::Result>;

bool Same(const FrameDecoder::Result& a, const FrameDecoder::Result& b) {
    const FrameHeader& x = a.header;
    const FrameHeader& y = b.header;
    return a.event == b.event && a.skipped == b.skipped && a.payload == b.payload && x.start == y.start &&
           x.msgCode == y.msgCode && x.control == y.control && x.networkType == y.networkType &&
           x.sequence == y.sequence && x.payloadLength == y.payloadLength;
}

bool Same(const Trace& a, const Trace& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!Same(a[i], b[i]))
            return false;
    return true;
}

// Feeds the stream in chunks whose sizes come from `nextSize`, checking the bounds after each one.
template <class NextSize>
Trace Decode(std::span<const std::uint8_t> stream, std::size_t capacity, NextSize nextSize, bool& inFrame) {
    FrameDecoder decoder(frame::ReplyStart, capacity);
    Trace trace;
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t size = std::min(nextSize(), stream.size() - at);
        for (FrameDecoder::Result& found : decoder.Feed(stream.subspan(at, size))) {
            const bool frameFound = found.event == FrameDecoder::Event::Frame;
            if (found.payload.size() > capacity ||
                (frameFound && found.payload.size() != found.header.payloadLength))
                std::abort();
            trace.push_back(std::move(found));
        }
        if (decoder.Buffered() > frame::Overhead + capacity)
            std::abort();
        at += size;
    }
    inFrame = decoder.InFrame();
    return trace;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::size_t capacity = kCapacities[input.Take() % kCapacities.size()];
    std::uint32_t seed = input.Take() | 1u;
    const std::span<const std::uint8_t> stream = input.Rest();

    bool wholeInFrame = false;
    const Trace whole = Decode(
        stream, capacity, [&] { return stream.size(); }, wholeInFrame);

    bool bytewiseInFrame = false;
    const Trace bytewise = Decode(
        stream, capacity, [] { return std::size_t{1}; }, bytewiseInFrame);

    bool chunkedInFrame = false;
    const Trace chunked = Decode(
        stream, capacity,
        [&] {
            // xorshift: reads of 1 to 32 bytes, the sizes a serial port delivers.
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            return std::size_t{1 + seed % 32};
        },
        chunkedInFrame);

    if (!Same(whole, bytewise) || !Same(whole, chunked) || wholeInFrame != bytewiseInFrame ||
        wholeInFrame != chunkedInFrame)
        std::abort();
    return 0;
}
