#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QSerialPort;

// Link result codes this library returns; 0 is success.
using LinkResult = std::uint32_t;

// One request/response exchange with the controller over a serial port. The caller writes the settings
// below, opens with InitializeCommMode(), runs one exchange and closes. The frame protocol is described
// in docs/link-protocol.md.
class CSerialComm {
public:
    CSerialComm();
    virtual ~CSerialComm();
    CSerialComm(const CSerialComm&) = delete;
    CSerialComm& operator=(const CSerialComm&) = delete;

    LinkResult InitializeCommMode();
    LinkResult ProccessMsgCode_NoThread(unsigned char msgCode, bool request, unsigned char* payload,
                                        std::uint32_t payloadLength, unsigned char* reply,
                                        std::uint32_t replyCapacity, std::uint32_t* replyCount);
    LinkResult CloseComPort();

    static int m_nCommMedium;

    int m_nSerialPort = 0;
    std::uint16_t m_wCommParam = 0;
    int m_nExchangeState = 0;
    int m_bPLCTarget = 0;
    std::uint8_t m_byNetworkType = 0;

private:
    LinkResult OpenPort(const std::string& device, std::int32_t baudRate);
    LinkResult Transmit(const std::vector<std::uint8_t>& frame);
    LinkResult ReceiveReply(std::uint32_t capacity, struct Frame& reply);
    void DiscardInput();

    std::unique_ptr<QSerialPort> m_pPort;
    std::uint8_t m_bySequence = 0; // numbers the exchanges; the reply must echo it
};
