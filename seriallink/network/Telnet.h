#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Telnet as a serial device server speaks it: data with IAC doubled, option negotiation and
// subnegotiations. No I/O: the network port feeds it what the socket brings.
namespace telnet {

inline constexpr std::uint8_t Se = 240;
inline constexpr std::uint8_t Sb = 250;
inline constexpr std::uint8_t Will = 251;
inline constexpr std::uint8_t Wont = 252;
inline constexpr std::uint8_t Do = 253;
inline constexpr std::uint8_t Dont = 254;
inline constexpr std::uint8_t Iac = 255;

inline constexpr std::uint8_t Binary = 0;
inline constexpr std::uint8_t Echo = 1;
inline constexpr std::uint8_t SuppressGoAhead = 3;
inline constexpr std::uint8_t ComPortOption = 44;

// A subnegotiation longer than this is none the link asked for: the rest of it is dropped.
inline constexpr std::size_t MaxSubnegotiation = 64;

} // namespace telnet

struct TelnetCommand {
    std::uint8_t verb = 0; // Will, Wont, Do, Dont, or Sb for a subnegotiation
    std::uint8_t option = 0;
    std::vector<std::uint8_t> body; // a subnegotiation's, IAC undoubled
};

// Splits what a Telnet peer sends into data and commands. A command cut between two reads is
// completed by the next; other Telnet commands (NOP, go-ahead, a stray SE) carry nothing and are dropped.
class CTelnetReader {
public:
    void Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data,
              std::vector<TelnetCommand>& commands);

private:
    enum class State { Data, Command, Option, SubOption, SubBody, SubCommand };
    void AfterIac(std::uint8_t byte, std::vector<std::uint8_t>& data);

    State m_state = State::Data;
    TelnetCommand m_pending;
};

// `bytes` as Telnet data (IAC doubled), appended to `out`.
void AppendTelnetData(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);
// IAC verb option.
void AppendTelnetCommand(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& out);
// IAC SB option body IAC SE, IAC doubled in the body.
void AppendSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> body,
                          std::vector<std::uint8_t>& out);
