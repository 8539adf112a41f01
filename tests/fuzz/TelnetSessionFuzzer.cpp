#include "seriallink/network/Rfc2217Session.h"
#include "seriallink/network/Telnet.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

// What a device server sends, however the network cuts it into reads: the session must take out the
// same data, owe the same answers and end in the same state, and its answers must be Telnet the server
// can read (no data in them) and stay few (no endless answering of answers). Data escaped by the client
// must come back as it was. Input: a chunking seed, then the bytes the server sends.
namespace {

struct Outcome {
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> answer;
    CRfc2217Session::Progress progress;
    std::uint32_t rate;
    bool lines;
    bool operator==(const Outcome&) const = default;
};

template <class NextSize> Outcome Run(std::span<const std::uint8_t> stream, NextSize nextSize) {
    CRfc2217Session session(19200);
    Outcome outcome;
    outcome.answer = session.Opening();
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t size = std::min(nextSize(), stream.size() - at);
        session.Feed(stream.subspan(at, size), outcome.data, outcome.answer);
        at += size;
    }
    outcome.progress = session.State();
    outcome.rate = session.AnsweredRate();
    outcome.lines = session.ModemLinesConfirmed();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    std::uint32_t seed = input.Take() | 1u;
    const std::span<const std::uint8_t> stream = input.Rest();

    const Outcome whole = Run(stream, [&] { return stream.size() + 1; });
    if (Run(stream, [] { return std::size_t{1}; }) != whole)
        std::abort();
    if (Run(stream, [&] {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            return std::size_t{1 + seed % 16};
        }) != whole)
        std::abort();

    // Every command the server sends is three bytes or more, and the client answers each with three at
    // most, besides its opening and its settings once.
    if (whole.answer.size() > stream.size() + 200)
        std::abort();
    std::vector<std::uint8_t> answerData;
    std::vector<TelnetCommand> answerCommands;
    CTelnetReader().Feed(whole.answer, answerData, answerCommands);
    if (!answerData.empty())
        std::abort();

    std::vector<std::uint8_t> escaped;
    CRfc2217Session::AppendData(stream, escaped);
    std::vector<std::uint8_t> back;
    std::vector<TelnetCommand> commands;
    CTelnetReader().Feed(escaped, back, commands);
    if (!commands.empty() || !std::equal(back.begin(), back.end(), stream.begin(), stream.end()))
        std::abort();
    return 0;
}
