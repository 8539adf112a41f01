#pragma once

#include "seriallink/Frame.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

// Incremental decoder for one direction of the line (requests or replies, told by the start byte).
// Fed arbitrary chunks; finds frames, skips noise and resynchronises after a damaged frame by
// rescanning from the byte after its start byte. It never holds more than one frame of at most
// `capacity` payload bytes, so a bogus length field cannot make it buffer without bound.
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
    };

    FrameDecoder(std::uint8_t startByte, std::size_t capacity);

    std::vector<Result> Feed(std::span<const std::uint8_t> bytes);

    // True while a frame has begun but is not complete.
    bool InFrame() const { return !m_frame.empty(); }

    // Bytes held for the current partial frame (for checks of the memory bound).
    std::size_t Buffered() const { return m_frame.size() + m_replay.size(); }

private:
    void Step(std::uint8_t byte, std::vector<Result>& out);
    void Resync();

    std::uint8_t m_startByte;
    std::size_t m_capacity;
    std::vector<std::uint8_t> m_frame;
    std::deque<std::uint8_t> m_replay; // bytes of a rejected frame still to be rescanned
    FrameHeader m_header;
    std::size_t m_skipped = 0;
};
