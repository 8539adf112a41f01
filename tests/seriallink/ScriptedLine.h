#pragma once

#include "platform/LastError.h"
#include "seriallink/channel/ByteChannel.h"
#include "seriallink/channel/LinkInterruption.h"
#include "seriallink/link/SerialComm.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <vector>

using TestTime = std::chrono::steady_clock::time_point;

// What a test sees of its scripted line, alive or closed.
struct LineState {
    TestTime now{}; // the test's clock; it starts at 0 and moves only while the link waits
    std::vector<std::uint8_t> written;
    bool open = false;
    std::vector<std::chrono::microseconds> awaited; // each wait for the bytes still on their way
    int writeMs = 0; // how long a write takes to hand its bytes on; one that needs longer fails at its time
};

struct Arrival {
    int atMs; // on the test's clock
    std::vector<std::uint8_t> bytes;
    bool deviceLost = false; // reads fail from then on, as with an adapter pulled out
    bool interrupts = false; // the user interrupts the links then, and the read waits on
};

// A line played from a script: a read waits on the test's clock for the next arrival, or for its whole
// time when none falls within it. No sleeping, no device.
class ScriptedLine : public CByteChannel {
public:
    ScriptedLine(const std::vector<Arrival>& script, LineState& state)
        : m_script(script.begin(), script.end()), m_state(state) {
        m_state.open = true;
    }
    ~ScriptedLine() override { m_state.open = false; }

    void DiscardInput() override {
        while (!m_script.empty() && !m_script.front().deviceLost && At(m_script.front()) <= m_state.now)
            m_script.pop_front();
    }

    LinkResult Write(std::span<const std::uint8_t> bytes, int timeoutMs) override {
        m_state.written.assign(bytes.begin(), bytes.end());
        m_state.now += std::chrono::milliseconds(std::min(m_state.writeMs, timeoutMs));
        return m_state.writeMs <= timeoutMs ? linkcode::Success : linkcode::Transmit;
    }

    void AwaitBytes(std::chrono::microseconds wire) override {
        m_state.awaited.push_back(wire);
        m_state.now += wire;
    }

    LinkResult Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) override {
        count = 0;
        const TestTime waitEnd = m_state.now + std::chrono::milliseconds(timeoutMs);
        if (m_script.empty() || At(m_script.front()) > waitEnd) {
            m_state.now = waitEnd;
            return linkcode::Success;
        }
        Arrival& next = m_script.front();
        m_state.now = std::max(m_state.now, At(next));
        if (next.deviceLost) {
            SetLastSystemError(EIO);
            return linkcode::Transmit;
        }
        if (next.interrupts) { // from another thread: the read waits on
            m_script.pop_front();
            InterruptLinks();
            return Read(buffer, int((waitEnd - m_state.now) / std::chrono::milliseconds(1)), count);
        }
        count = std::min(buffer.size(), next.bytes.size());
        std::copy_n(next.bytes.begin(), count, buffer.begin());
        next.bytes.erase(next.bytes.begin(), next.bytes.begin() + std::ptrdiff_t(count));
        if (next.bytes.empty())
            m_script.pop_front();
        return linkcode::Success;
    }

private:
    static TestTime At(const Arrival& arrival) {
        return TestTime{} + std::chrono::milliseconds(arrival.atMs);
    }

    std::deque<Arrival> m_script;
    LineState& m_state;
};

// The link over a scripted line, its waits measured on the test's clock.
class ScriptedLink : public CSerialComm, private CLineSource {
public:
    // Named, so that opening it never looks at the machine's own ports.
    explicit ScriptedLink(std::vector<Arrival> script) : m_script(std::move(script)) {
        m_pLineSource = this;
        m_strDeviceName = "scripted line";
    }

    int ElapsedMs() const {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(line.now - TestTime{}).count());
    }

    LineState line;

private:
    LinkResult Open(const std::string&, std::int32_t, std::unique_ptr<CByteChannel>& channel,
                    const PortNoteSink&) override {
        channel = std::make_unique<ScriptedLine>(m_script, line);
        return linkcode::Success;
    }
    CLineSource::TimePoint Now() const override { return line.now; }

    std::vector<Arrival> m_script;
};
