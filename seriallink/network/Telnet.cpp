#include "seriallink/network/Telnet.h"

using namespace telnet;

void CTelnetReader::Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data,
                         std::vector<TelnetCommand>& commands) {
    for (const std::uint8_t byte : bytes) {
        switch (m_state) {
        case State::Data:
            if (byte == Iac)
                m_state = State::Command;
            else
                data.push_back(byte);
            break;
        case State::Command:
            AfterIac(byte, data);
            break;
        case State::Option:
            m_pending.option = byte;
            commands.push_back(m_pending);
            m_state = State::Data;
            break;
        case State::SubOption:
            m_pending.option = byte;
            m_state = State::SubBody;
            break;
        case State::SubBody:
            if (byte == Iac)
                m_state = State::SubCommand;
            else if (m_pending.body.size() < MaxSubnegotiation)
                m_pending.body.push_back(byte);
            break;
        case State::SubCommand:
            if (byte == Iac) {
                if (m_pending.body.size() < MaxSubnegotiation)
                    m_pending.body.push_back(Iac);
                m_state = State::SubBody;
                break;
            }
            // SE ends it; any other command ends it too, and is then taken as itself.
            commands.push_back(m_pending);
            if (byte == Se)
                m_state = State::Data;
            else
                AfterIac(byte, data);
            break;
        }
    }
}

void CTelnetReader::AfterIac(std::uint8_t byte, std::vector<std::uint8_t>& data) {
    m_pending = TelnetCommand{};
    switch (byte) {
    case Iac:
        data.push_back(Iac);
        m_state = State::Data;
        break;
    case Will:
    case Wont:
    case Do:
    case Dont:
        m_pending.verb = byte;
        m_state = State::Option;
        break;
    case Sb:
        m_pending.verb = Sb;
        m_state = State::SubOption;
        break;
    default:
        m_state = State::Data;
        break;
    }
}

void AppendTelnetData(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
    for (const std::uint8_t byte : bytes) {
        out.push_back(byte);
        if (byte == Iac)
            out.push_back(Iac);
    }
}

void AppendTelnetCommand(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), {Iac, verb, option});
}

void AppendSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> body,
                          std::vector<std::uint8_t>& out) {
    out.insert(out.end(), {Iac, Sb, option});
    AppendTelnetData(body, out);
    out.insert(out.end(), {Iac, Se});
}
