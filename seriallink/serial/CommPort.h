#pragma once

#include "seriallink/channel/ByteChannel.h"
#include "seriallink/serial/CommCalls.h"
#include "seriallink/serial/SerialPort.h"

#include <memory>
#include <optional>
#include <string>

// The Windows serial port, raw 8N1 without flow control, over the Win32 communications calls: what the
// USB serial drivers in the field do differently from the documentation is decided here. Synchronous
// I/O, no overlapped calls and no thread: the exchange blocks its caller by design, and the time-outs
// bound every call.
class CCommPort : public CByteChannel {
public:
    // Opens `device` (COMn, or a name already in the device namespace) as CSerialPort::Open does.
    static LinkResult Open(std::unique_ptr<CCommCalls> calls, const std::string& device,
                           std::int32_t baudRate, PortNoteSink notes, std::unique_ptr<CCommPort>& port);

    // Puts back the DCB and time-outs found at open, then closes the handle.
    ~CCommPort() override;

    void DiscardInput() override;
    LinkResult Write(std::span<const std::uint8_t> bytes, int timeoutMs) override;
    LinkResult Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) override;
    LinkResult CheckDevice() override;

private:
    CCommPort(std::unique_ptr<CCommCalls> calls, PortNoteSink notes);

    LinkResult OpenHandle(const std::string& device);
    LinkResult Configure(std::int32_t baudRate);
    bool SettleModemLines(); // false when links are interrupted meanwhile
    CommTimeouts ReadTimeouts(std::uint32_t wait) const;
    bool UseTimeouts(const CommTimeouts& wanted);
    LinkResult Fail(LinkResult code) const;
    std::string ErrorText() const;
    void Note(const std::string& note) const;

    std::unique_ptr<CCommCalls> m_pCalls;
    PortNoteSink m_notes;
    std::string m_strDevice;
    bool m_bOpen = false;
    // What the port held at open, put back on close for the next program that opens it.
    std::optional<CommState> m_foundState;
    CommTimeouts m_foundTimeouts;
    std::optional<CommTimeouts> m_timeouts; // as last set
};
