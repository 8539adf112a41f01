#include "seriallink/FrameDecoder.h"

#include "seriallink/Crc16.h"

FrameDecoder::FrameDecoder(std::uint8_t startByte, std::size_t capacity)
    : m_startByte(startByte), m_capacity(capacity) {}

std::vector<FrameDecoder::Result> FrameDecoder::Feed(std::span<const std::uint8_t> bytes) {
    std::vector<Result> out;
    for (std::uint8_t byte : bytes) {
        Step(byte, out);
        while (!m_replay.empty()) {
            const std::uint8_t replayed = m_replay.front();
            m_replay.pop_front();
            Step(replayed, out);
        }
    }
    return out;
}

void FrameDecoder::Step(std::uint8_t byte, std::vector<Result>& out) {
    if (m_frame.empty()) {
        if (byte != m_startByte) {
            ++m_skipped;
            return;
        }
        if (m_skipped != 0) {
            out.push_back({Event::Garbage, {}, {}, m_skipped});
            m_skipped = 0;
        }
        m_frame.push_back(byte);
        return;
    }

    m_frame.push_back(byte);
    if (m_frame.size() == frame::HeaderSize) {
        m_header =
            DecodeHeader(std::span<const std::uint8_t, frame::HeaderSize>(m_frame.data(), frame::HeaderSize));
        if (m_header.payloadLength > m_capacity) {
            out.push_back({Event::TooLong, m_header, {}, 0});
            Resync();
            return;
        }
    }
    if (m_frame.size() < frame::HeaderSize || m_frame.size() < frame::Overhead + m_header.payloadLength)
        return;

    const std::size_t crcAt = frame::HeaderSize + m_header.payloadLength;
    const std::uint16_t received = static_cast<std::uint16_t>((m_frame[crcAt] << 8) | m_frame[crcAt + 1]);
    if (Crc16(std::span<const std::uint8_t>(m_frame.data(), crcAt)) != received) {
        out.push_back({Event::BadCrc, m_header, {}, 0});
        Resync();
        return;
    }
    out.push_back({Event::Frame, m_header,
                   std::vector<std::uint8_t>(m_frame.begin() + frame::HeaderSize, m_frame.begin() + crcAt),
                   0});
    m_frame.clear();
}

void FrameDecoder::Resync() {
    // The rejected frame's start byte may have been noise: the real frame can begin inside it.
    m_replay.insert(m_replay.begin(), m_frame.begin() + 1, m_frame.end());
    m_frame.clear();
}
