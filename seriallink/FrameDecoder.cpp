#include "seriallink/FrameDecoder.h"

#include "seriallink/Crc16.h"

#include <algorithm>
#include <array>

namespace {

// Room made up front for held bytes: enough for the utility's own replies, never the whole capacity (up
// to 100,000 bytes), which a decoder made for every exchange would pay for each time.
constexpr std::size_t InitialRoom = 64;

} // namespace

FrameDecoder::FrameDecoder(std::uint8_t startByte, std::size_t capacity)
    : m_startByte(startByte), m_capacity(capacity) {
    m_held.reserve(std::min(capacity, InitialRoom) + frame::Overhead);
}

std::vector<FrameDecoder::Result> FrameDecoder::Feed(std::span<const std::uint8_t> bytes) {
    std::vector<Result> out;
    for (std::uint8_t byte : bytes) {
        const std::uint16_t before = m_crc;
        m_crc = Crc16Step(m_crc, byte);
        if (!InFrame()) {
            if (byte != m_startByte) {
                ++m_skipped;
                continue;
            }
            ReportSkipped(out);
        }
        m_held.push_back({byte, before});
        if (Buffered() >= m_needed)
            Settle(out);
    }
    return out;
}

std::vector<FrameDecoder::Result> FrameDecoder::AbandonFrame() {
    std::vector<Result> out;
    if (InFrame()) {
        DropFront(1, out);
        Settle(out);
    }
    return out;
}

// Decides on the frame at the front as soon as the held bytes allow; a rejection moves the front to
// the next start byte, whose frame may already be complete.
void FrameDecoder::Settle(std::vector<Result>& out) {
    while (Buffered() >= frame::HeaderSize) {
        std::array<std::uint8_t, frame::HeaderSize> headerBytes;
        for (std::size_t i = 0; i < frame::HeaderSize; ++i)
            headerBytes[i] = HeldAt(i).byte;
        const FrameHeader header = DecodeHeader(headerBytes);
        if (header.payloadLength > m_capacity) {
            out.push_back({Event::TooLong, header, {}, 0, {}});
            DropFront(1, out);
            continue;
        }
        const std::size_t crcAt = frame::HeaderSize + header.payloadLength;
        if (Buffered() < crcAt + frame::CrcSize) {
            m_needed = crcAt + frame::CrcSize;
            return;
        }
        const std::uint16_t received =
            static_cast<std::uint16_t>((HeldAt(crcAt).byte << 8) | HeldAt(crcAt + 1).byte);
        if (Crc16Between(HeldAt(0).crcBefore, HeldAt(crcAt).crcBefore, crcAt) != received) {
            Result rejected{Event::BadCrc, header, {}, 0, {}};
            rejected.preview = HeldBytes(0, std::min(crcAt + frame::CrcSize, PreviewBytes));
            out.push_back(std::move(rejected));
            DropFront(1, out);
            continue;
        }
        out.push_back({Event::Frame, header, HeldBytes(frame::HeaderSize, crcAt), 0, {}});
        DropFront(crcAt + frame::CrcSize, out);
    }
}

std::vector<std::uint8_t> FrameDecoder::HeldBytes(std::size_t from, std::size_t to) const {
    std::vector<std::uint8_t> bytes(to - from);
    const auto first = m_held.begin() + static_cast<std::ptrdiff_t>(m_front + from);
    std::transform(first, first + static_cast<std::ptrdiff_t>(bytes.size()), bytes.begin(),
                   [](const Held& held) { return held.byte; });
    return bytes;
}

void FrameDecoder::DropFront(std::size_t count, std::vector<Result>& out) {
    m_front += count;
    m_needed = 0;
    while (InFrame() && HeldAt(0).byte != m_startByte) {
        ++m_front;
        ++m_skipped;
    }
    if (!InFrame()) {
        m_held.clear();
        m_front = 0;
        return;
    }
    ReportSkipped(out);
    // Keeps the memory bound: the spent bytes never outnumber the ones still held.
    if (m_front > Buffered()) {
        m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(m_front));
        m_front = 0;
    }
}

void FrameDecoder::ReportSkipped(std::vector<Result>& out) {
    if (m_skipped != 0) {
        out.push_back({Event::Garbage, {}, {}, m_skipped, {}});
        m_skipped = 0;
    }
}
