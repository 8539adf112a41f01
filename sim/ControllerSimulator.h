#pragma once

#include "model/ByteString.h"
#include "seriallink/frame/FrameDecoder.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

// Faults the simulated controller can inject into its next replies.
enum class SimFault {
    Status,             // answer with a controller status code instead of success
    NoReply,            // stay silent: the link times out
    BadChecksum,        // corrupt the reply's CRC
    WrongSequence,      // reply with another sequence number
    WrongMessageCode,   // reply with another message code
    TruncatedReply,     // stop sending in the middle of the frame
    GarbageBeforeFrame, // noise bytes ahead of a valid frame
    OversizedReply,     // a well-formed reply longer than any reply buffer the utility offers
    // A line or controller that is slow or talks back, with the reply itself intact:
    Echo, // the request handed back at once, as a two-wire RS-485 adapter does; the reply follows
    Late, // the reply sent a given time after the request (a slow EEPROM write)
    // Instead of the reply, talk on for a minute or until the client closes the port:
    EndlessNoise,   // pseudo-random bytes (always the same ones) at the line's byte rate
    EndlessTrickle, // zero bytes, one every 90 ms: never the quiet gap that ends a reply
    EndlessHeaders, // reply headers announcing a 99,999-byte payload, back to back at the line's byte rate
};

// What the controller sends back for one request: parts at their times after the request came in, or, for
// the endless faults, talk in place of a reply.
struct SimReply {
    struct Part {
        std::chrono::milliseconds after;
        ByteString bytes;
    };
    std::vector<Part> parts;
    std::optional<SimFault> talk;
    std::chrono::steady_clock::duration talkGap{}; // between two bytes of talk
    FrameHeader request;                           // whose reply header the talk of headers repeats
};

// The endless faults' bytes, one after the other, always the same ones.
class SimTalker {
public:
    static constexpr std::chrono::seconds Limit{60}; // talk stops after this long at the latest

    explicit SimTalker(const SimReply& reply);
    std::uint8_t Next();

private:
    SimFault m_fault;
    ByteString m_header;
    std::size_t m_sent = 0;
    std::minstd_rand m_noise;
};

// Plays the controller on the device side of a serial line: a pseudo-terminal it creates, or a named
// port. Serves requests on a thread of its own until stopped or destroyed.
class ControllerSimulator {
public:
    struct Options {
        std::string portPath;        // empty: create a pseudo-terminal
        bool paceAtLineRate = false; // take requests and send replies at the line's byte rate
        std::string storeFile;       // non-empty: the store survives restarts in this file
        bool logRequests = false;    // one line per request on stderr
    };
    struct Request {
        std::uint8_t msgCode;
        std::uint8_t networkType;
        ByteString payload;
        std::uint8_t flags;
    };

    ControllerSimulator();
    explicit ControllerSimulator(Options options);
    ~ControllerSimulator();
    ControllerSimulator(const ControllerSimulator&) = delete;
    ControllerSimulator& operator=(const ControllerSimulator&) = delete;

    // The device path a client opens (the pty's slave side, or the named port).
    const std::string& DevicePath() const;

    void Start();
    void Stop();

    // The attribute block stored for a network type (1 to 3); none is programmed at first.
    void Preload(int networkType, ByteString block);
    std::optional<ByteString> StoredBlock(int networkType) const;
    // Preloads the blocks of the three records at their defaults.
    void PreloadDefaults();

    // The next `count` requests (of `onlyMsgCode` when non-negative) get the fault. `value` is the status
    // of a Status fault, and for Echo and Late the time in milliseconds from the request to the reply.
    void InjectFault(SimFault fault, int count = 1, std::uint32_t value = 0, int onlyMsgCode = -1);

    // Requests received so far, in order, including those answered with a fault. Frames with a bad
    // CRC or an over-long length are answered but not recorded.
    std::vector<Request> Requests() const;
    void ClearRequests();

    // What the controller answers to `found`, a request or damaged request frame a client sent, when it
    // serves the client in-process instead of on the device (sim/SimulatedLine.h); none for noise.
    std::optional<SimReply> Respond(FrameDecoder::Result& found);

    // Times a client closed the device after having used it. On a pty this includes a close followed
    // at once by the next open, which the master alone may never see as a hang-up.
    int ClientCloses() const;

private:
    struct State;
    std::unique_ptr<State> m_pState;
};
