#include "platform/LastError.h"
#include "seriallink/frame/Frame.h"
#include "seriallink/link/SerialComm.h"
#include "seriallink/network/NetworkErrors.h"
#include "seriallink/network/NetworkPort.h"
#include "seriallink/network/PortUrl.h"
#include "seriallink/network/Telnet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes ComPort(std::initializer_list<std::uint8_t> body) {
    Bytes out;
    AppendSubnegotiation(telnet::ComPortOption, Bytes(body), out);
    return out;
}

// The option agreed, then `answers`.
Bytes Negotiated(std::initializer_list<Bytes> answers) {
    Bytes out{telnet::Iac, telnet::Do, telnet::ComPortOption, telnet::Iac, telnet::Will, telnet::Binary};
    for (const Bytes& answer : answers)
        out.insert(out.end(), answer.begin(), answer.end());
    return out;
}

// The answers of a server that sets its port as asked (ser2net's, for a port without modem lines).
Bytes Agreed(std::uint8_t rateHigh = 0x4B) {
    return Negotiated({ComPort({101, 0, 0, rateHigh, 0}), ComPort({102, 8}), ComPort({103, 1}),
                       ComPort({104, 1}), ComPort({105, 1})});
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A device server on 127.0.0.1 that serves one client with a script of its own.
class ScriptedServer {
public:
    using Script = std::function<void(ScriptedServer&)>;

    explicit ScriptedServer(Script script) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, script] {
            m_client = ::accept(m_listener, nullptr, nullptr);
            script(*this);
            // Closed as a server closes, after the client has had everything: unread input would make
            // the close a reset, which throws away what the client has not read yet.
            ::shutdown(m_client, SHUT_WR);
            const timeval wait{2, 0};
            ::setsockopt(m_client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            for (std::uint8_t rest[256]; ::recv(m_client, rest, sizeof rest, 0) > 0;) {
            }
            ::close(m_client);
        });
    }
    ~ScriptedServer() {
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }

    // By name: the lookup runs on a thread of its own, and "localhost" may lead to ::1 first, where
    // nothing listens, before 127.0.0.1.
    std::string Url(const std::string& scheme = "rfc2217") const {
        return scheme + "://localhost:" + std::to_string(m_port);
    }
    void Send(const Bytes& bytes) const { ::send(m_client, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // The client's data until a whole request frame is in (its header says how long), Telnet taken out.
    Bytes ReceiveRequest() {
        Bytes data;
        std::vector<TelnetCommand> commands;
        std::uint8_t chunk[256];
        while (data.size() < frame::Overhead ||
               data.size() <
                   frame::Overhead + DecodeHeader(std::span(data).first<frame::HeaderSize>()).payloadLength) {
            const ssize_t got = ::recv(m_client, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            m_reader.Feed(std::span(chunk, std::size_t(got)), data, commands);
        }
        return data;
    }

private:
    int m_listener = -1;
    int m_client = -1;
    std::uint16_t m_port = 0;
    CTelnetReader m_reader;
    std::thread m_thread;
};

const Bytes StatusPayload{0xFF, 0x56, 0x01, 0x00}; // holds the Telnet escape byte

Bytes StatusReplyFrame(const Bytes& request) {
    return EncodeReply(request.at(1), frame::StatusOk, request.at(3), request.at(4), StatusPayload);
}

// A status-id reply to `request` as Telnet data.
Bytes StatusReply(const Bytes& request) {
    Bytes escaped;
    AppendTelnetData(StatusReplyFrame(request), escaped);
    return escaped;
}

struct Hostile {
    const char* name;
    ScriptedServer::Script script;
    LinkResult opened;
    std::uint32_t openError;
    LinkResult exchanged;
    const char* remark = ""; // what the port learnt of the server, in the end
    const char* scheme = "rfc2217";
};

class HostileServer : public testing::TestWithParam<Hostile> {};

TEST_P(HostileServer, EndsWithAClearErrorOrTheRightReply) {
    ScriptedServer server(GetParam().script);
    CSerialComm link;
    link.m_wCommParam = 0x1001;
    link.m_strDeviceName = server.Url(GetParam().scheme);
    ASSERT_EQ(link.InitializeCommMode(), GetParam().opened);
    if (GetParam().opened != linkcode::Success) {
        EXPECT_EQ(LastSystemError(), GetParam().openError) << LinkErrorText(LastSystemError());
        EXPECT_EQ(LastNetworkOpenError(link.m_strDeviceName), GetParam().openError);
        EXPECT_EQ(ServerRemark(), GetParam().remark);
        EXPECT_EQ(LastNetworkOpenRemark(link.m_strDeviceName), GetParam().remark);
        return;
    }
    std::uint8_t reply[64];
    std::uint32_t count = 0;
    EXPECT_EQ(link.ProccessMsgCode_NoThread(18, true, nullptr, 0, reply, sizeof reply, &count),
              GetParam().exchanged)
        << LinkErrorText(LastSystemError());
    if (GetParam().exchanged == linkcode::Success)
        EXPECT_EQ(Bytes(reply, reply + count), StatusPayload);
    else
        EXPECT_EQ(LastSystemError(), neterror::ConnectionClosed);
    // The remark names the server's port, which differs each time: its start is compared.
    EXPECT_EQ(ServerRemark().substr(0, std::strlen(GetParam().remark)), GetParam().remark);
    EXPECT_EQ(ServerRemark().empty(), *GetParam().remark == '\0');
}

// Sends `text` and closes.
ScriptedServer::Script Says(const std::string& text) {
    return [text](ScriptedServer& server) { server.Send(Text(text)); };
}

// Sends `first`, then the reply to the request.
ScriptedServer::Script Replies(const Bytes& first) {
    return [first](ScriptedServer& server) {
        server.Send(first);
        server.Send(StatusReply(server.ReceiveRequest()));
    };
}

constexpr const char* UseRfc2217 =
    "the server's port speaks Telnet (RFC 2217), not raw bytes: use rfc2217://";

const auto replies = [](ScriptedServer& server) {
    server.Send(Agreed());
    server.Send(StatusReply(server.ReceiveRequest()));
};

INSTANTIATE_TEST_SUITE_P(
    Scripts, HostileServer,
    testing::Values(Hostile{"AgreesAndAnswers", replies, 0, 0, 0},
                    Hostile{"RefusesTheOption",
                            [](ScriptedServer& server) {
                                server.Send({telnet::Iac, telnet::Dont, telnet::ComPortOption});
                            },
                            linkcode::CannotOpen, neterror::NoComPortControl, 0},
                    Hostile{"TurnsTheClientAwayInPlainText", Says("Port's device already in use\r\n"),
                            linkcode::CannotOpen, neterror::ClosedAtOpen, 0,
                            "the server said \"Port's device already in use\""},
                    // ser2net on a busy raw port.
                    Hostile{"TurnsARawClientAwayInPlainText", Says("Port already in use\r\n"), 0, 0,
                            linkcode::Transmit, "the server said \"Port already in use\"", "socket"},
                    Hostile{"SpeaksTelnetToARawClient", Replies({telnet::Iac, telnet::Will, telnet::Binary}),
                            0, 0, linkcode::Transmit, UseRfc2217, "socket"},
                    // sredird sends four more bytes after the rate and answers every SET-CONTROL with 1.
                    Hostile{"AnswersAsSredird",
                            Replies(Negotiated({ComPort({105, 1}), ComPort({105, 1}),
                                                ComPort({101, 0, 0, 0x4B, 0, 0, 0, 0, 0}), ComPort({102, 8}),
                                                ComPort({103, 1}), ComPort({104, 1}), ComPort({105, 1})})),
                            0, 0, 0},
                    // DTR answered with the flow control it had, the framing with 0 (the value that asks).
                    Hostile{"AnswersZeroAndTheLinesWithTheirFlowControl",
                            Replies(Negotiated({ComPort({105, 3}), ComPort({101, 0, 0, 0, 0}), ComPort({102, 0}),
                                                ComPort({103, 0}), ComPort({104, 0}), ComPort({105, 0})})),
                            0, 0, 0},
                    Hostile{"SetsAnotherRate", [](ScriptedServer& server) { server.Send(Agreed(0x25)); },
                            linkcode::CannotOpen, neterror::OtherRate, 0},
                    Hostile{"ClosesMidReply",
                            [](ScriptedServer& server) {
                                server.Send(Agreed());
                                const Bytes reply = StatusReply(server.ReceiveRequest());
                                server.Send(Bytes(reply.begin(), reply.begin() + 6));
                            },
                            0, 0, linkcode::Transmit},
                    Hostile{"DribblesTheReplyWithNotificationsBetween",
                            [](ScriptedServer& server) {
                                server.Send(Agreed());
                                // One send for each byte, the escaped FF's two too, with a modem state
                                // notification after every data byte.
                                const Bytes request = server.ReceiveRequest();
                                Bytes dribbled;
                                for (const std::uint8_t byte : StatusReplyFrame(request)) {
                                    AppendTelnetData(std::span(&byte, 1), dribbled);
                                    const Bytes notification = ComPort({107, 0x30});
                                    dribbled.insert(dribbled.end(), notification.begin(), notification.end());
                                }
                                for (const std::uint8_t part : dribbled) {
                                    server.Send({part});
                                    std::this_thread::sleep_for(200us);
                                }
                            },
                            0, 0, 0}),
    [](const testing::TestParamInfo<Hostile>& info) { return info.param.name; });

// A server that never answers the option is given up on when the negotiation's time is up, with what it
// said instead, if anything.
TEST(DeviceServer, SilentServerIsGivenUpOn) {
    for (const std::string said : {"", "All ports busy, try later\r\n"}) {
        ScriptedServer server([&said](ScriptedServer& server) {
            server.Send(Text(said));
            std::this_thread::sleep_for(300ms);
        });
        std::string malformed;
        std::unique_ptr<CNetworkPort> port;
        NetworkTimeouts timeouts;
        timeouts.negotiation = 100ms;
        EXPECT_EQ(CNetworkPort::Open(*ParsePortUrl(server.Url(), malformed), 19200, timeouts, {}, port),
                  linkcode::CannotOpen);
        EXPECT_EQ(LastSystemError(), neterror::NegotiationTimedOut);
        EXPECT_EQ(ServerRemark(), said.empty() ? "" : "the server said \"All ports busy, try later\"");
    }
}

// An interface the computer does not have is said to be one, not an unknown host.
TEST(DeviceServer, ZoneNamesAnInterface) {
    std::string malformed;
    std::unique_ptr<CNetworkPort> port;
    EXPECT_EQ(CNetworkPort::Open(*ParsePortUrl("rfc2217://[fe80::1%no-such-if9]:2001", malformed), 19200,
                                 NetworkTimeouts{}, {}, port),
              linkcode::CannotOpen);
    EXPECT_EQ(LastSystemError(), neterror::UnknownZone);
}

struct Address {
    const char* text;
    const char* endpoint; // empty when refused
    const char* why = ""; // in the refusal's text
};

class PortAddress : public testing::TestWithParam<Address> {};

// Each is meant as a URL: a malformed one is refused as one, never opened as a file of that name.
TEST_P(PortAddress, ParsesOrSaysWhy) {
    std::string error;
    const std::optional<PortUrl> url = ParsePortUrl(GetParam().text, error);
    EXPECT_EQ(url ? url->Endpoint() : "", GetParam().endpoint) << error;
    EXPECT_EQ(error.empty(), url.has_value());
    EXPECT_NE(error.find(GetParam().why), std::string::npos) << error;
    EXPECT_TRUE(LooksLikeUrl(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Forms, PortAddress,
                         testing::Values(Address{"rfc2217://Cabinet-4:2001", "cabinet-4:2001"},
                                         Address{"socket://10.0.0.7:4001/", "10.0.0.7:4001"},
                                         Address{"RFC2217://[::1]:7001", "[::1]:7001"},
                                         Address{"rfc2217://::1:7001", ""},
                                         Address{"rfc2217://[::1]7001", ""}, Address{"telnet://host:23", ""},
                                         Address{"rfc2217://host", ""}, Address{"rfc2217://:2001", ""},
                                         Address{"rfc2217://host:0", ""}, Address{"rfc2217://host:65536", ""},
                                         Address{"socket://ho st:1", ""}, Address{"rfc2217://host:20a1", ""},
                                         Address{"rfc2217://[FE80::1%Eth0]:2001", "[fe80::1%Eth0]:2001"},
                                         Address{"rfc2217://[fe80::1%]:2001", "", "interface"},
                                         Address{"rfc2217:/host:2001", "", "two slashes"},
                                         Address{"Socket:host:2001", "", "two slashes"},
                                         Address{"rfc2217://user@host:2001", "", "user name"},
                                         Address{"rfc2217://host:02001", "", "leading zeros"},
                                         Address{"socket://host:0002001", "", "leading zeros"}));

} // namespace
