#pragma once

#include "seriallink/serial/CommCalls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

// A USB serial driver as the Win32 calls show it, played from what the test sets in `Driver`: its
// clock moves only while a call blocks or sleeps. The driver outlives the port, so the test sees what
// the port left behind.
struct Driver {
    struct Arrival {
        int atMs;
        std::vector<std::uint8_t> bytes;
    };
    using TimePoint = CCommCalls::TimePoint;

    static constexpr std::uint32_t ErrorInvalidParameter = 87;
    static constexpr std::uint32_t ErrorBadCommand = 22; // a removed device's answer

    // Set by the test.
    std::deque<std::uint32_t> openRefusals; // one failed open per entry, with that error; then it opens
    CommState state;                        // the DCB the port holds before the open
    bool modemLines = false;
    bool returnsOnFirstByte = true;
    bool readsReturnAtOnce = false; // ignores the read time-outs: takes what has arrived, or nothing
    bool removed = false;           // reads succeed with no bytes at once, ClearCommError fails
    std::uint32_t readError = 0;    // when set, ReadFile fails with it, as on some removed devices
    bool refuseSetState = false;
    bool writesStall = false;     // a write never takes a byte: it ends at its time-out
    std::uint32_t lineErrors = 0; // raised until the next ClearCommError
    std::deque<Arrival> arrivals;

    // Seen by the test.
    TimePoint now{};
    std::vector<std::string> calls; // in order, with their arguments where they matter
    CommTimeouts timeouts;
    std::vector<std::uint8_t> written;
    int reads = 0;
    int opens = 0;
    bool open = false;
    std::uint32_t error = 0;

    int ElapsedMs() const {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(now - TimePoint{}).count());
    }
};

class FakeCommCalls : public CCommCalls {
public:
    explicit FakeCommCalls(Driver& driver) : d(driver) {}

    bool Open(const std::string& path) override {
        ++d.opens;
        d.calls.push_back("Open " + path);
        if (!d.openRefusals.empty()) {
            d.error = d.openRefusals.front();
            d.openRefusals.pop_front();
            return false;
        }
        d.open = true;
        return true;
    }
    void Close() override {
        d.calls.push_back("Close");
        d.open = false;
    }
    bool GetState(CommState& state) override {
        state = d.state;
        return true;
    }
    bool SetState(const CommState& state) override {
        d.calls.push_back("SetState");
        // As SetCommState: a state whose two flow control characters are equal is invalid.
        if (d.refuseSetState || state.XonChar == state.XoffChar)
            return Failed(Driver::ErrorInvalidParameter);
        d.state = state;
        return true;
    }
    bool GetTimeouts(CommTimeouts& timeouts) override {
        timeouts = d.timeouts;
        return true;
    }
    bool SetTimeouts(const CommTimeouts& timeouts) override {
        d.timeouts = timeouts;
        return true;
    }
    bool PurgeInput() override {
        d.calls.push_back("PurgeInput");
        while (!d.arrivals.empty() && At(d.arrivals.front()) <= d.now)
            d.arrivals.pop_front();
        return true;
    }
    bool Read(std::span<std::uint8_t> buffer, std::uint32_t& got) override {
        got = 0;
        // A port that never blocks would spin here for ever on a clock that does not move.
        if (++d.reads > 10000) {
            ADD_FAILURE() << "the port keeps reading without waiting";
            return Failed(Driver::ErrorBadCommand);
        }
        if (d.readError != 0)
            return Failed(d.readError);
        if (d.removed)
            return true;
        if (!d.readsReturnAtOnce) {
            const TimePoint end = d.now + std::chrono::milliseconds(d.timeouts.ReadTotalTimeoutConstant);
            d.now = d.arrivals.empty() ? end : std::clamp(At(d.arrivals.front()), d.now, end);
        }
        while (!d.arrivals.empty() && At(d.arrivals.front()) <= d.now && got < buffer.size()) {
            auto& bytes = d.arrivals.front().bytes;
            const std::size_t count = std::min(buffer.size() - got, bytes.size());
            std::copy_n(bytes.begin(), count, buffer.begin() + got);
            got += std::uint32_t(count);
            bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(count));
            if (bytes.empty())
                d.arrivals.pop_front();
        }
        return true;
    }
    bool Write(std::span<const std::uint8_t> bytes, std::uint32_t& written) override {
        d.written.assign(bytes.begin(), bytes.end());
        written = std::uint32_t(bytes.size());
        if (d.writesStall) { // as WriteFile on a stalled line: it succeeds at its time, short of bytes
            d.now += std::chrono::milliseconds(d.timeouts.WriteTotalTimeoutConstant);
            written = 0;
        }
        return true;
    }
    bool ClearErrors(std::uint32_t& errors) override {
        d.calls.push_back("ClearCommError");
        if (d.removed)
            return Failed(Driver::ErrorBadCommand);
        errors = std::exchange(d.lineErrors, 0);
        return true;
    }
    bool HasModemLines() override { return d.modemLines; }
    std::uint32_t LastError() const override { return d.error; }
    bool ReturnsOnFirstByte() const override { return d.returnsOnFirstByte; }
    TimePoint Now() const override { return d.now; }
    void Sleep(std::chrono::milliseconds time) override {
        d.calls.push_back("Sleep " + std::to_string(time.count()));
        d.now += time;
    }

private:
    static Driver::TimePoint At(const Driver::Arrival& arrival) {
        return Driver::TimePoint{} + std::chrono::milliseconds(arrival.atMs);
    }
    bool Failed(std::uint32_t error) {
        d.error = error;
        return false;
    }

    Driver& d;
};
