#pragma once

#include "seriallink/frame/LinkCodes.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

// Hears, as one line of text each, what a port had to work around.
using PortNoteSink = std::function<void(const std::string&)>;

// The byte stream an exchange runs over: the serial port for users, a scripted source for tests and
// fuzzers. Write and Read block the calling thread for at most the time they are given; Read may also
// come back empty sooner (a system timer's coarse tick), and its caller then waits for what is left.
// Once links are interrupted (LinkInterruption.h), a wait ends within one slice and fails with UserAbort.
class CByteChannel {
public:
    CByteChannel() = default;
    virtual ~CByteChannel() = default;
    CByteChannel(const CByteChannel&) = delete;
    CByteChannel& operator=(const CByteChannel&) = delete;

    // Drops input that has arrived but not been read: it belongs to no exchange still waiting for it.
    virtual void DiscardInput() = 0;

    // Sends every byte within `timeoutMs`: Transmit when the line does not take them in time or the
    // device has gone.
    virtual LinkResult Write(std::span<const std::uint8_t> bytes, int timeoutMs) = 0;

    // Waits up to `timeoutMs` for input, then takes what has arrived, at most `buffer.size()` bytes.
    // `count` is 0 when nothing came in time; Transmit when the device has gone.
    virtual LinkResult Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) = 0;

    // Gives the line `wire`, the time it takes to carry all but the last of the bytes the reader still
    // needs, to bring them before the next Read, which then waits for the last: bytes cross a line one by
    // one at its rate, and a reader woken for each would spend its processor on wake-ups. A channel with
    // no rate to keep has nothing to wait for.
    virtual void AwaitBytes(std::chrono::microseconds wire) { static_cast<void>(wire); }

    // Asks whether the device is still there once an exchange has run out of time: Transmit when it has
    // gone. A channel whose reads fail on a lost device has nothing to add.
    virtual LinkResult CheckDevice() { return linkcode::Success; }

    // What the first byte of a reply may take on top of the controller's own time: the trip to a
    // device server and back.
    virtual std::chrono::milliseconds ReplyAllowance() const { return std::chrono::milliseconds(0); }
};
