#pragma once

#include "seriallink/network/Telnet.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The client side of a Telnet session with the COM port control option: it asks for binary transfer
// both ways and suppressed go-ahead, offers the option, then sets the remote line to the link's rate,
// 8N1, no flow control, DTR and RTS on, and checks what the server answers. No I/O and no clock: the
// network port sends what it hands out and decides how long to wait.
class CRfc2217Session {
public:
    enum class Progress {
        Negotiating,
        Ready,        // the line is set as asked
        NoOption,     // the server refuses the COM port control option
        NoBinary,     // the server refuses binary transfer: the controller's bytes would be altered
        OtherRate,    // the server set another rate than asked
        OtherFraming, // another data size, parity, stop size or flow control than asked
    };

    explicit CRfc2217Session(std::uint32_t baudRate);

    // What the client sends first.
    std::vector<std::uint8_t> Opening();

    // Takes what the server sent: the remote port's data is appended to `data`, and what the client
    // owes the server in answer to `answer`. Notifications (line and modem state) are dropped.
    void Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data,
              std::vector<std::uint8_t>& answer);

    Progress State() const { return m_progress; }
    // Whether the server confirmed DTR and RTS on: a port without modem lines never does.
    bool ModemLinesConfirmed() const { return m_dtrConfirmed && m_rtsConfirmed; }
    // The rate the server answered, 0 before it did.
    std::uint32_t AnsweredRate() const { return m_answeredRate; }
    // What was set otherwise than asked, for the trace ("parity 2"); empty when nothing was.
    const std::string& Mismatch() const { return m_mismatch; }
    // What the server answered 0 for instead of the value it set ("rate, parity"), taken as asked.
    const std::string& Unstated() const { return m_unstated; }

    // PURGE-DATA for the server's receive buffer: input from the line that nobody waits for.
    static std::vector<std::uint8_t> PurgeReceived();
    // `bytes` as data for the remote line.
    static void AppendData(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);

private:
    // One side of an option: what the client does (WILL, DO from the server) or the server does.
    struct OptionSide {
        bool enabled = false;
        bool asked = false; // the client's request awaits an answer
    };
    struct OptionState {
        OptionSide ours;
        OptionSide theirs;
    };

    void Negotiate(const TelnetCommand& command, std::vector<std::uint8_t>& answer);
    void Answered(const TelnetCommand& command);
    void SendSettings(std::vector<std::uint8_t>& answer);
    void Check(bool matches, Progress failure, const std::string& what);
    bool Stated(std::uint8_t value, std::uint8_t asked, const char* what);
    std::uint32_t TakenAsAsked(std::uint32_t asked, const char* what);
    void UpdateProgress();

    CTelnetReader m_reader;
    std::uint32_t m_baudRate;
    OptionState m_options[256]{};
    bool m_settingsSent = false;
    std::uint32_t m_answeredRate = 0;
    bool m_dataSizeConfirmed = false;
    bool m_parityConfirmed = false;
    bool m_stopSizeConfirmed = false;
    bool m_flowConfirmed = false;
    bool m_dtrConfirmed = false;
    bool m_rtsConfirmed = false;
    Progress m_progress = Progress::Negotiating;
    std::string m_mismatch;
    std::string m_unstated;
};
