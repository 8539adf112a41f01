#pragma once

#include "seriallink/channel/ByteChannel.h"
#include "seriallink/network/PortUrl.h"
#include "seriallink/network/Rfc2217Session.h"
#include "seriallink/network/TcpConnection.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A serial port on a device server, reached over TCP: with RFC 2217 the link sets the remote line
// itself, over a raw socket the server's settings stand. A connection the server drops is a device
// lost, as an adapter pulled out is.
class CNetworkPort : public CByteChannel {
public:
    // Connects and, for RFC 2217, sets the remote line to `baudRate` 8N1 with DTR and RTS on. On failure
    // `port` stays empty, the result is CannotOpen and the reason the thread's last system error.
    static LinkResult Open(const PortUrl& url, std::int32_t baudRate, const NetworkTimeouts& timeouts,
                           const PortNoteSink& notes, std::unique_ptr<CNetworkPort>& port);
    // Opens `name` (a URL) with the default time-outs, CannotOpen for a malformed one.
    static LinkResult Open(const std::string& name, std::int32_t baudRate, const PortNoteSink& notes,
                           std::unique_ptr<CByteChannel>& channel);

    void DiscardInput() override;
    LinkResult Write(std::span<const std::uint8_t> bytes, int timeoutMs) override;
    LinkResult Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) override;
    std::chrono::milliseconds ReplyAllowance() const override;

private:
    CNetworkPort(std::unique_ptr<CTcpConnection> connection, std::optional<CRfc2217Session> session,
                 std::string name, PortNoteSink notes);

    LinkResult Negotiate(const NetworkTimeouts& timeouts, const std::string& name, const PortNoteSink& notes);
    // Receives once, up to `timeoutMs`: the line's data into m_pending, the session's answers sent.
    LinkResult ReceiveOnce(int timeoutMs);
    // Takes note of the line's data (over a raw socket, all the server sends) for ServerRemark.
    void Heard(std::span<const std::uint8_t> bytes);
    std::string Remark() const;

    std::unique_ptr<CTcpConnection> m_pConnection;
    std::optional<CRfc2217Session> m_session; // none over a raw socket
    std::vector<std::uint8_t> m_pending;      // data received and not yet read
    std::string m_name;                       // HOST:PORT
    PortNoteSink m_notes;
    std::vector<std::uint8_t> m_heard; // the start of the data since the last request began
    std::size_t m_streamStart = 0;     // bytes of a raw stream looked at for Telnet, up to two
    std::uint8_t m_firstByte = 0;
    bool m_speaksTelnet = false;
    bool m_closed = false; // the server closed the connection
};

// Why the last open of `url` failed, as the thread's last system error then was; nothing when it
// succeeded or was never tried in this process.
std::optional<std::uint32_t> LastNetworkOpenError(const std::string& url);
// The server remark that came with that failure, empty when there was none.
std::string LastNetworkOpenRemark(const std::string& url);
