#pragma once

#include "seriallink/frame/Frame.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Incremental decoder for one direction of the line (requests or replies, told by the start byte).
// Fed arbitrary chunks; finds frames, skips noise and resynchronises after a damaged frame by
// rescanning from the byte after its start byte. It never holds more than one frame of at most
// `capacity` payload bytes, so a bogus length field cannot make it buffer without bound, and its work
// stays linear in the bytes fed: a rescan checks each candidate frame's CRC in constant time from
// the CRC register kept with every held byte, instead of running over the frame again.
class FrameDecoder {
public:
    enum class Event {
        Frame,   // a complete frame with a correct CRC
        Garbage, // `skipped` bytes before a start byte were thrown away
        BadCrc,  // a frame of plausible length whose CRC does not match; header as received
        TooLong, // a header announcing more payload than `capacity`; header as received
    };
    struct Result {
        Event event;
        FrameHeader header;
        std::vector<std::uint8_t> payload;
        std::size_t skipped = 0;
        // BadCrc: the frame's first bytes as they came, at most PreviewBytes of them, for traces. Bounded
        // so that a rescan stays linear however long the announced frame.
        std::vector<std::uint8_t> preview;
    };
    static constexpr std::size_t PreviewBytes = 64;
    using Results = std::vector<Result>;

    FrameDecoder(std::uint8_t startByte, std::size_t capacity);

    // Replaces what `found` holds with the results found in `bytes`, in stream order. The caller owns
    // `found`, so the results outlive anything done to the decoder meanwhile (even replacing it), and
    // one kept from read to read costs no allocation per read.
    void Feed(std::span<const std::uint8_t> bytes, Results& found);

    // The line went quiet in the middle of a frame, so the frame begun will never be complete: gives it
    // up and rescans the bytes held after its start byte, where a whole frame may lie. `found` as for Feed.
    void AbandonFrame(Results& found);

    // True while a frame has begun but is not complete.
    bool InFrame() const { return m_front != m_bytes.size(); }

    // Bytes the frame begun still needs before it can be decided: the rest of its header, or once that is
    // in, the rest of the frame it announces.
    std::size_t Missing() const { return m_needed - Buffered(); }

    // Bytes held for the current partial frame (for checks of the memory bound).
    std::size_t Buffered() const { return m_bytes.size() - m_front; }

private:
    // Holds `bytes`, each with the CRC register ahead of it.
    void Hold(std::span<const std::uint8_t> bytes);
    // The bytes of the current frame from `from` up to `to`.
    std::vector<std::uint8_t> HeldBytes(std::size_t from, std::size_t to) const;
    std::uint16_t CrcBefore(std::size_t index) const { return m_crcBefore[m_front + index]; }
    void Settle(Results& found);
    void DropFront(std::size_t count, Results& found);
    void ReportSkipped(Results& found);

    std::uint8_t m_startByte;
    std::size_t m_capacity;
    // From m_front on: the current frame, from its start byte; rescanned after a rejection. The bytes
    // before m_front are spent and go when the frame ends, or once they are the larger part. Each held
    // byte has the CRC register ahead of it alongside; the register runs over the held bytes alone,
    // which are always one unbroken run of the stream, so noise between frames costs no CRC work.
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::uint16_t> m_crcBefore;
    std::size_t m_front = 0;
    std::size_t m_needed = frame::HeaderSize; // held bytes the frame at the front needs to be decided
    std::uint16_t m_crc = 0;
    std::size_t m_skipped = 0;
};
