#include "sim/SimulatedLine.h"

#include "platform/LastError.h"
#include "seriallink/channel/ByteChannel.h"
#include "sim/ControllerSimulator.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <optional>

namespace {

using TimePoint = CLineSource::TimePoint;

// One open of the line. Bytes written are the client's requests, answered at once by the simulator;
// what it sends back is queued at the times it arrives.
class SimulatedChannel : public CByteChannel {
public:
    SimulatedChannel(ControllerSimulator& sim, TimePoint& now) : m_sim(sim), m_now(now) {}

    void DiscardInput() override {
        while (!m_arrivals.empty() && m_arrivals.front().at <= m_now)
            m_arrivals.pop_front();
        while (m_talk && m_talk->due <= m_now)
            TakeTalkByte();
    }

    LinkResult Write(std::span<const std::uint8_t> bytes, int) override {
        m_decoder.Feed(bytes, m_found);
        for (FrameDecoder::Result& found : m_found) {
            std::optional<SimReply> reply = m_sim.Respond(found);
            if (!reply)
                continue;
            for (SimReply::Part& part : reply->parts)
                Queue(m_now + part.after, std::move(part.bytes));
            if (reply->talk)
                m_talk.emplace(*reply, m_now);
        }
        return linkcode::Success;
    }

    LinkResult Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) override {
        count = 0;
        const TimePoint waitEnd = m_now + std::chrono::milliseconds(timeoutMs);
        const std::optional<TimePoint> next = NextArrival();
        if (!next || *next > waitEnd) {
            m_now = waitEnd;
            return linkcode::Success;
        }
        m_now = std::max(m_now, *next);
        while (count < buffer.size() && !m_arrivals.empty() && m_arrivals.front().at <= m_now) {
            ByteString& bytes = m_arrivals.front().bytes;
            const std::size_t taken = std::min(buffer.size() - count, bytes.size());
            std::copy_n(bytes.begin(), taken, buffer.begin() + std::ptrdiff_t(count));
            bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(taken));
            count += taken;
            if (bytes.empty())
                m_arrivals.pop_front();
        }
        while (count < buffer.size() && m_talk && m_talk->due <= m_now)
            buffer[count++] = TakeTalkByte();
        return linkcode::Success;
    }

private:
    struct Arrival {
        TimePoint at;
        ByteString bytes;
    };
    struct Talk {
        Talk(const SimReply& reply, TimePoint start)
            : talker(reply), gap(reply.talkGap), due(start + gap), end(start + SimTalker::Limit) {}
        SimTalker talker;
        std::chrono::steady_clock::duration gap;
        TimePoint due; // of the next byte
        TimePoint end;
    };

    void Queue(TimePoint at, ByteString bytes) {
        if (bytes.empty())
            return;
        const auto later = std::upper_bound(m_arrivals.begin(), m_arrivals.end(), at,
                                            [](TimePoint t, const Arrival& a) { return t < a.at; });
        m_arrivals.insert(later, {at, std::move(bytes)});
    }

    std::optional<TimePoint> NextArrival() const {
        std::optional<TimePoint> next;
        if (!m_arrivals.empty())
            next = m_arrivals.front().at;
        if (m_talk && (!next || m_talk->due < *next))
            next = m_talk->due;
        return next;
    }

    std::uint8_t TakeTalkByte() {
        const std::uint8_t byte = m_talk->talker.Next();
        m_talk->due += m_talk->gap;
        if (m_talk->due > m_talk->end)
            m_talk.reset();
        return byte;
    }

    ControllerSimulator& m_sim;
    TimePoint& m_now;
    FrameDecoder m_decoder{frame::RequestStart, frame::MaxRequestPayload};
    FrameDecoder::Results m_found;
    std::deque<Arrival> m_arrivals;
    std::optional<Talk> m_talk;
};

} // namespace

SimulatedLine::SimulatedLine(ControllerSimulator& sim) : m_sim(sim) {}

LinkResult SimulatedLine::Open(const std::string& device, std::int32_t,
                               std::unique_ptr<CByteChannel>& channel, const PortNoteSink&) {
    if (device != m_sim.DevicePath()) {
        SetLastSystemError(ENOENT);
        return linkcode::CannotOpen;
    }
    channel = std::make_unique<SimulatedChannel>(m_sim, m_now);
    return linkcode::Success;
}

std::chrono::milliseconds SimulatedLine::Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(m_now - TimePoint{});
}
