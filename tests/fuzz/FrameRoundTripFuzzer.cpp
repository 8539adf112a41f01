#include "seriallink/frame/FrameDecoder.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

// Encoding a request or a reply and decoding it again gives back exactly its header and payload, with
// nothing skipped and nothing left over; one byte less of capacity turns it into a too-long frame.
// Input: direction, message code, control, network type, sequence number, then the payload.
namespace {

void CheckRoundTrip(bool isRequest, std::uint8_t code, std::uint8_t control, std::uint8_t type,
                    std::uint8_t sequence, std::span<const std::uint8_t> payload) {
    const std::uint8_t start = isRequest ? frame::RequestStart : frame::ReplyStart;
    const std::vector<std::uint8_t> bytes = isRequest ? EncodeRequest(code, control, type, sequence, payload)
                                                      : EncodeReply(code, control, type, sequence, payload);
    if (bytes.size() != frame::Overhead + payload.size())
        std::abort();

    FrameDecoder decoder(start, payload.size());
    FrameDecoder::Results found;
    decoder.Feed(bytes, found);
    if (found.size() != 1 || decoder.InFrame() || decoder.Buffered() != 0)
        std::abort();
    const FrameDecoder::Result& result = found[0];
    const FrameHeader& h = result.header;
    if (result.event != FrameDecoder::Event::Frame || h.start != start || h.msgCode != code ||
        h.control != control || h.networkType != type || h.sequence != sequence ||
        h.payloadLength != payload.size() || result.skipped != 0 ||
        !std::equal(result.payload.begin(), result.payload.end(), payload.begin(), payload.end()))
        std::abort();

    if (!payload.empty()) {
        FrameDecoder tooSmall(start, payload.size() - 1);
        FrameDecoder::Results refused;
        tooSmall.Feed(bytes, refused);
        if (refused.empty() || refused[0].event != FrameDecoder::Event::TooLong ||
            refused[0].header.payloadLength != payload.size())
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t direction = input.Take();
    const std::uint8_t code = input.Take();
    const std::uint8_t control = input.Take();
    const std::uint8_t type = input.Take();
    const std::uint8_t sequence = input.Take();
    CheckRoundTrip((direction & 1) != 0, code, control, type, sequence, input.Rest());
    return 0;
}
