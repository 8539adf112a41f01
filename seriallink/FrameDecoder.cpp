#include "seriallink/FrameDecoder.h"

#include "seriallink/Crc16.h"

#include <algorithm>
#include <array>

FrameDecoder::FrameDecoder(std::uint8_t startByte, std::size_t capacity)
    : m_startByte(startByte), m_capacity(capacity) {}

std::vector<FrameDecoder::Result> FrameDecoder::Feed(std::span<const std::uint8_t> bytes) {
    std::vector<Result> out;
    for (std::uint8_t byte : bytes) {
        const std::uint16_t before = m_crc;
        m_crc = Crc16Step(m_crc, byte);
        if (m_held.empty()) {
            if (byte != m_startByte) {
                ++m_skipped;
                continue;
            }
            ReportSkipped(out);
        }
        m_held.push_back({byte, before});
        Settle(out);
    }
    return out;
}

std::vector<FrameDecoder::Result> FrameDecoder::AbandonFrame() {
    std::vector<Result> out;
    if (!m_held.empty()) {
        DropFront(1, out);
        Settle(out);
    }
    return out;
}

// Decides on the frame at the front as soon as the held bytes allow; a rejection moves the front to
// the next start byte, whose frame may already be complete.
void FrameDecoder::Settle(std::vector<Result>& out) {
    while (m_held.size() >= frame::HeaderSize) {
        std::array<std::uint8_t, frame::HeaderSize> headerBytes;
        for (std::size_t i = 0; i < frame::HeaderSize; ++i)
            headerBytes[i] = m_held[i].byte;
        const FrameHeader header = DecodeHeader(headerBytes);
        if (header.payloadLength > m_capacity) {
            out.push_back({Event::TooLong, header, {}, 0, {}});
            DropFront(1, out);
            continue;
        }
        const std::size_t crcAt = frame::HeaderSize + header.payloadLength;
        if (m_held.size() < crcAt + frame::CrcSize)
            return;
        const std::uint16_t received =
            static_cast<std::uint16_t>((m_held[crcAt].byte << 8) | m_held[crcAt + 1].byte);
        if (Crc16Between(m_held.front().crcBefore, m_held[crcAt].crcBefore, crcAt) != received) {
            Result rejected{Event::BadCrc, header, {}, 0, {}};
            const std::size_t shown = std::min(crcAt + frame::CrcSize, PreviewBytes);
            for (std::size_t i = 0; i < shown; ++i)
                rejected.preview.push_back(m_held[i].byte);
            out.push_back(std::move(rejected));
            DropFront(1, out);
            continue;
        }
        Result found{Event::Frame, header, {}, 0, {}};
        found.payload.reserve(header.payloadLength);
        for (std::size_t i = frame::HeaderSize; i < crcAt; ++i)
            found.payload.push_back(m_held[i].byte);
        out.push_back(std::move(found));
        DropFront(crcAt + frame::CrcSize, out);
    }
}

void FrameDecoder::DropFront(std::size_t count, std::vector<Result>& out) {
    m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(count));
    while (!m_held.empty() && m_held.front().byte != m_startByte) {
        m_held.pop_front();
        ++m_skipped;
    }
    if (!m_held.empty())
        ReportSkipped(out);
}

void FrameDecoder::ReportSkipped(std::vector<Result>& out) {
    if (m_skipped != 0) {
        out.push_back({Event::Garbage, {}, {}, m_skipped, {}});
        m_skipped = 0;
    }
}
