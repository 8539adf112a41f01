#include "seriallink/link/ReplyMatcher.h"

#include "seriallink/link/LinkTrace.h"

ReplyMatcher::ReplyMatcher(std::span<const std::uint8_t> request, std::size_t capacity, CLinkTrace* trace)
    : m_request(request), m_expected(DecodeHeader(request.first<frame::HeaderSize>())),
      m_decoder(frame::ReplyStart, capacity), m_pTrace(trace) {}

bool ReplyMatcher::Feed(std::span<const std::uint8_t> bytes, Frame& reply) {
    bool found = false;
    bytes = PassEcho(bytes, reply, found);
    return found || Decode(bytes, reply);
}

bool ReplyMatcher::Decode(std::span<const std::uint8_t> bytes, Frame& reply) {
    m_decoder.Feed(bytes, m_found);
    return Take(reply);
}

// Input pending before the request was discarded, so an echo is the first thing on the line.
std::span<const std::uint8_t> ReplyMatcher::PassEcho(std::span<const std::uint8_t> bytes, Frame& reply,
                                                     bool& found) {
    while (m_echoOpen && !bytes.empty()) {
        if (bytes.front() == m_request[m_echoed]) {
            bytes = bytes.subspan(1);
            m_echoOpen = ++m_echoed < m_request.size();
            continue;
        }
        // Not an echo after all: what looked like one is line input like any other.
        m_echoOpen = false;
        found = Decode(m_request.first(m_echoed), reply);
    }
    return bytes;
}

std::size_t ReplyMatcher::Awaited() const {
    if (InFrame())
        return m_decoder.Missing();
    return (m_echoOpen ? m_request.size() - m_echoed : 0) + frame::Overhead;
}

bool ReplyMatcher::LineQuiet(Frame& reply) {
    while (m_decoder.InFrame()) {
        m_decoder.AbandonFrame(m_found);
        if (Take(reply))
            return true;
    }
    return false;
}

bool ReplyMatcher::Take(Frame& reply) {
    for (FrameDecoder::Result& found : m_found) {
        switch (found.event) {
        case FrameDecoder::Event::Garbage:
            break;
        case FrameDecoder::Event::BadCrc:
            NoteDamage(linkcode::Checksum);
            Reject(found.preview, linkcode::Checksum);
            break;
        case FrameDecoder::Event::TooLong:
            NoteDamage(linkcode::MessageLength);
            break;
        case FrameDecoder::Event::Frame:
            if (found.header.msgCode == m_expected.msgCode && found.header.sequence == m_expected.sequence) {
                reply = {found.header, std::move(found.payload)};
                return true;
            }
            if (m_pTrace)
                Reject(EncodeFrame(found.header, found.payload), found.header.msgCode != m_expected.msgCode
                                                                     ? linkcode::MessageCode
                                                                     : linkcode::MessageNumber);
            break;
        }
    }
    return false;
}

void ReplyMatcher::Reject(std::span<const std::uint8_t> frame, LinkResult reason) const {
    if (m_pTrace)
        m_pTrace->FrameRejected(frame, reason);
}

void ReplyMatcher::NoteDamage(LinkResult code) {
    if (m_damage == linkcode::Success)
        m_damage = code;
}
