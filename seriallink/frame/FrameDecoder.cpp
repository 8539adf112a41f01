#include "seriallink/frame/FrameDecoder.h"

#include "seriallink/frame/Crc16.h"

#include <algorithm>

namespace {

// Room made up front for held bytes: enough for the utility's own replies, never the whole capacity (up
// to 100,000 bytes), which a decoder made for every exchange would pay for each time.
constexpr std::size_t InitialRoom = 64;

} // namespace

FrameDecoder::FrameDecoder(std::uint8_t startByte, std::size_t capacity)
    : m_startByte(startByte), m_capacity(capacity) {
    m_bytes.reserve(std::min(capacity, InitialRoom) + frame::Overhead);
    m_crcBefore.reserve(m_bytes.capacity());
}

void FrameDecoder::Feed(std::span<const std::uint8_t> bytes, Results& found) {
    found.clear();
    const std::uint8_t* at = bytes.data();
    const std::uint8_t* const end = at + bytes.size();
    while (at != end) {
        if (!InFrame()) {
            const std::uint8_t* const start = std::find(at, end, m_startByte);
            m_skipped += static_cast<std::size_t>(start - at);
            at = start;
            if (at == end)
                break;
            ReportSkipped(found);
        }
        // Up to the byte that lets the frame at the front be decided, and never past it.
        const std::size_t run = std::min(static_cast<std::size_t>(end - at), m_needed - Buffered());
        Hold({at, run});
        at += run;
        if (Buffered() == m_needed)
            Settle(found);
    }
}

void FrameDecoder::AbandonFrame(Results& found) {
    found.clear();
    if (InFrame()) {
        DropFront(1, found);
        Settle(found);
    }
}

void FrameDecoder::Hold(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        m_bytes.push_back(byte);
        m_crcBefore.push_back(m_crc);
        m_crc = Crc16Step(m_crc, byte);
    }
}

// Decides on the frame at the front as soon as the held bytes allow; a rejection moves the front to
// the next start byte, whose frame may already be complete. Leaves m_needed above the bytes held.
void FrameDecoder::Settle(Results& found) {
    while (InFrame()) {
        if (Buffered() < frame::HeaderSize) {
            m_needed = frame::HeaderSize;
            return;
        }
        const FrameHeader header = DecodeHeader(
            std::span<const std::uint8_t, frame::HeaderSize>(m_bytes.data() + m_front, frame::HeaderSize));
        if (header.payloadLength > m_capacity) {
            found.push_back({Event::TooLong, header, {}, 0, {}});
            DropFront(1, found);
            continue;
        }
        const std::size_t crcAt = frame::HeaderSize + header.payloadLength;
        if (Buffered() < crcAt + frame::CrcSize) {
            m_needed = crcAt + frame::CrcSize;
            return;
        }
        const std::size_t at = m_front + crcAt;
        const std::uint16_t received = static_cast<std::uint16_t>((m_bytes[at] << 8) | m_bytes[at + 1]);
        if (Crc16Between(CrcBefore(0), CrcBefore(crcAt), crcAt) != received) {
            found.push_back(
                {Event::BadCrc, header, {}, 0, HeldBytes(0, std::min(crcAt + frame::CrcSize, PreviewBytes))});
            DropFront(1, found);
            continue;
        }
        found.push_back({Event::Frame, header, HeldBytes(frame::HeaderSize, crcAt), 0, {}});
        DropFront(crcAt + frame::CrcSize, found);
    }
}

std::vector<std::uint8_t> FrameDecoder::HeldBytes(std::size_t from, std::size_t to) const {
    const auto first = m_bytes.begin() + static_cast<std::ptrdiff_t>(m_front);
    return {first + static_cast<std::ptrdiff_t>(from), first + static_cast<std::ptrdiff_t>(to)};
}

void FrameDecoder::DropFront(std::size_t count, Results& found) {
    m_front += count;
    m_needed = frame::HeaderSize;
    const auto next =
        std::find(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_front), m_bytes.end(), m_startByte);
    const auto nextAt = static_cast<std::size_t>(next - m_bytes.begin());
    m_skipped += nextAt - m_front;
    m_front = nextAt;
    if (!InFrame()) {
        m_bytes.clear();
        m_crcBefore.clear();
        m_front = 0;
        return;
    }
    ReportSkipped(found);
    // Keeps the memory bound: the spent bytes never outnumber the ones still held.
    if (m_front > Buffered()) {
        const auto spent = static_cast<std::ptrdiff_t>(m_front);
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + spent);
        m_crcBefore.erase(m_crcBefore.begin(), m_crcBefore.begin() + spent);
        m_front = 0;
    }
}

void FrameDecoder::ReportSkipped(Results& found) {
    if (m_skipped != 0) {
        found.push_back({Event::Garbage, {}, {}, m_skipped, {}});
        m_skipped = 0;
    }
}
