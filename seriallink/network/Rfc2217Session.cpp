#include "seriallink/network/Rfc2217Session.h"

using namespace telnet;

namespace {

// COM port control commands as the client sends them; the server answers each with its code + 100.
constexpr std::uint8_t SetBaudRate = 1;
constexpr std::uint8_t SetDataSize = 2;
constexpr std::uint8_t SetParity = 3;
constexpr std::uint8_t SetStopSize = 4;
constexpr std::uint8_t SetControl = 5;
constexpr std::uint8_t PurgeData = 12;
constexpr std::uint8_t ServerAnswer = 100;

constexpr std::uint8_t NoParity = 1;
constexpr std::uint8_t OneStopBit = 1;
// SET-CONTROL values: outbound flow control 0 to 3, DTR 7 to 9, RTS 10 to 12.
constexpr std::uint8_t NoFlowControl = 1;
constexpr std::uint8_t DtrOn = 8;
constexpr std::uint8_t DtrOff = 9;
constexpr std::uint8_t RtsOn = 11;
constexpr std::uint8_t RtsOff = 12;
constexpr std::uint8_t PurgeReceiveBuffer = 1;

// What the client wants of each side: binary transfer and no go-ahead both ways, the COM port option
// done by the client.
bool WantOurs(std::uint8_t option) {
    return option == Binary || option == SuppressGoAhead || option == ComPortOption;
}
bool WantTheirs(std::uint8_t option) {
    return option == Binary || option == SuppressGoAhead;
}

void AppendComPort(std::uint8_t command, std::span<const std::uint8_t> value,
                   std::vector<std::uint8_t>& out) {
    std::vector<std::uint8_t> body{command};
    body.insert(body.end(), value.begin(), value.end());
    AppendSubnegotiation(ComPortOption, body, out);
}

} // namespace

CRfc2217Session::CRfc2217Session(std::uint32_t baudRate) : m_baudRate(baudRate) {}

std::vector<std::uint8_t> CRfc2217Session::Opening() {
    std::vector<std::uint8_t> out;
    for (const std::uint8_t option : {Binary, SuppressGoAhead, ComPortOption}) {
        m_options[option].ours.asked = true;
        AppendTelnetCommand(Will, option, out);
    }
    for (const std::uint8_t option : {Binary, SuppressGoAhead}) {
        m_options[option].theirs.asked = true;
        AppendTelnetCommand(Do, option, out);
    }
    return out;
}

void CRfc2217Session::Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data,
                           std::vector<std::uint8_t>& answer) {
    std::vector<TelnetCommand> commands;
    m_reader.Feed(bytes, data, commands);
    // One command at a time, however the network cut the stream: the settings go out as soon as the
    // option is agreed, and what comes after the line is set changes nothing.
    for (const TelnetCommand& command : commands) {
        if (command.verb != Sb)
            Negotiate(command, answer);
        else if (command.option == ComPortOption)
            Answered(command);
        if (!m_settingsSent && m_options[ComPortOption].ours.enabled)
            SendSettings(answer);
        UpdateProgress();
    }
}

// Agrees to what the client wants and refuses the rest, answering only a change of state, so that two
// peers never answer each other's answers for ever.
void CRfc2217Session::Negotiate(const TelnetCommand& command, std::vector<std::uint8_t>& answer) {
    if (command.verb < Will || command.verb > Dont)
        return;
    // DO and DONT are about what the client does, WILL and WONT about what the server does.
    const bool ours = command.verb == Do || command.verb == Dont;
    const bool on = command.verb == Do || command.verb == Will;
    OptionSide& side = ours ? m_options[command.option].ours : m_options[command.option].theirs;
    const bool wanted = ours ? WantOurs(command.option) : WantTheirs(command.option);
    const std::uint8_t agree = ours ? Will : Do;
    const std::uint8_t refuse = ours ? Wont : Dont;
    if (on && wanted) {
        if (!side.enabled && !side.asked)
            AppendTelnetCommand(agree, command.option, answer);
        side.enabled = true;
        side.asked = false;
        return;
    }
    if (on || (side.enabled && !side.asked))
        AppendTelnetCommand(refuse, command.option, answer);
    const bool lost = !on && (side.enabled || side.asked);
    side = OptionSide{};
    if (lost && m_progress == Progress::Negotiating && command.option == Binary)
        m_progress = Progress::NoBinary;
    if (lost && m_progress == Progress::Negotiating && ours && command.option == ComPortOption)
        m_progress = Progress::NoOption;
}

// The lines go first: a server that answers in order has then answered them by the time the framing is
// confirmed, and one whose port has none never does.
void CRfc2217Session::SendSettings(std::vector<std::uint8_t>& answer) {
    m_settingsSent = true;
    const std::uint8_t rate[4] = {std::uint8_t(m_baudRate >> 24), std::uint8_t(m_baudRate >> 16),
                                  std::uint8_t(m_baudRate >> 8), std::uint8_t(m_baudRate)};
    AppendComPort(SetControl, std::span(&DtrOn, 1), answer);
    AppendComPort(SetControl, std::span(&RtsOn, 1), answer);
    AppendComPort(SetBaudRate, rate, answer);
    const std::uint8_t dataSize = 8;
    AppendComPort(SetDataSize, std::span(&dataSize, 1), answer);
    AppendComPort(SetParity, std::span(&NoParity, 1), answer);
    AppendComPort(SetStopSize, std::span(&OneStopBit, 1), answer);
    AppendComPort(SetControl, std::span(&NoFlowControl, 1), answer);
}

// Servers answer as they were written: sredird sends four more bytes after the rate and answers every
// SET-CONTROL with 1, others answer 0 (the value that asks) instead of what they set. The answers come
// in the order asked: DTR and RTS before the rate, flow control after the stop size.
void CRfc2217Session::Answered(const TelnetCommand& command) {
    if (command.body.size() < 2 || m_progress != Progress::Negotiating)
        return;
    const std::uint8_t value = command.body[1];
    switch (command.body[0]) {
    case ServerAnswer + SetBaudRate:
        if (command.body.size() >= 5) {
            const std::uint32_t rate = std::uint32_t(command.body[1]) << 24 |
                                       std::uint32_t(command.body[2]) << 16 |
                                       std::uint32_t(command.body[3]) << 8 | command.body[4];
            m_answeredRate = rate != 0 ? rate : TakenAsAsked(m_baudRate, "rate");
            Check(m_answeredRate == m_baudRate, Progress::OtherRate,
                  "rate " + std::to_string(m_answeredRate));
        }
        break;
    case ServerAnswer + SetDataSize:
        m_dataSizeConfirmed = true;
        Check(Stated(value, 8, "data size"), Progress::OtherFraming, "data size " + std::to_string(value));
        break;
    case ServerAnswer + SetParity:
        m_parityConfirmed = true;
        Check(Stated(value, NoParity, "parity"), Progress::OtherFraming, "parity " + std::to_string(value));
        break;
    case ServerAnswer + SetStopSize:
        m_stopSizeConfirmed = true;
        Check(Stated(value, OneStopBit, "stop size"), Progress::OtherFraming,
              "stop size " + std::to_string(value));
        break;
    case ServerAnswer + SetControl:
        // Before the framing is confirmed a value of the flow control's group answers DTR or RTS.
        if (value <= 3 && m_stopSizeConfirmed) {
            m_flowConfirmed = true;
            Check(Stated(value, NoFlowControl, "flow control"), Progress::OtherFraming,
                  "flow control " + std::to_string(value));
        }
        m_dtrConfirmed = m_dtrConfirmed || value == DtrOn;
        m_rtsConfirmed = m_rtsConfirmed || value == RtsOn;
        if (value == DtrOff || value == RtsOff)
            m_dtrConfirmed = m_rtsConfirmed = false;
        break;
    default:
        break;
    }
}

// An answer of 0 says nothing of what was set: taken as asked, and told.
bool CRfc2217Session::Stated(std::uint8_t value, std::uint8_t asked, const char* what) {
    return (value == 0 ? TakenAsAsked(asked, what) : value) == asked;
}

std::uint32_t CRfc2217Session::TakenAsAsked(std::uint32_t asked, const char* what) {
    m_unstated += (m_unstated.empty() ? "" : ", ") + std::string(what);
    return asked;
}

void CRfc2217Session::Check(bool matches, Progress failure, const std::string& what) {
    if (matches)
        return;
    m_progress = failure;
    m_mismatch = what;
}

void CRfc2217Session::UpdateProgress() {
    if (m_progress == Progress::Negotiating && m_answeredRate == m_baudRate && m_dataSizeConfirmed &&
        m_parityConfirmed && m_stopSizeConfirmed && m_flowConfirmed)
        m_progress = Progress::Ready;
}

std::vector<std::uint8_t> CRfc2217Session::PurgeReceived() {
    std::vector<std::uint8_t> out;
    AppendComPort(PurgeData, std::span(&PurgeReceiveBuffer, 1), out);
    return out;
}

void CRfc2217Session::AppendData(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
    AppendTelnetData(bytes, out);
}
