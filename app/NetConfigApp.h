#pragma once

#include "model/ByteString.h"
#include "model/NetAttributes.h"
#include "model/NetworkType.h"
#include "seriallink/SerialComm.h"

#include <cstdint>

// Link request codes.
constexpr std::uint8_t MSGCODE_STATUS_ID = 18;
constexpr std::uint8_t MSGCODE_WRITE_NET_ATTR = 42;
constexpr std::uint8_t MSGCODE_READ_NET_ATTR = 43;
constexpr std::uint16_t COMM_PARAM_DEFAULT = 0x1001;

// The one application object: all run-time state lives here for the life of the process. The link
// members are defined in link/, start-up in app/.
class CNetConfigApp {
public:
    CNetConfigApp();
    virtual ~CNetConfigApp();
    CNetConfigApp(const CNetConfigApp&) = delete;
    CNetConfigApp& operator=(const CNetConfigApp&) = delete;

    // Runs the main dialog modally; returns false so that the process ends when it closes.
    bool InitInstance();

    bool OpenLink();
    bool SendRequest(std::uint8_t msgCode, bool request, std::uint8_t* payload, std::uint32_t payloadLength,
                     std::uint8_t* reply, std::uint32_t replyCapacity, std::uint32_t* replyCount);
    bool ReadStatusId();
    bool WriteNetAttributes(ByteString block, NetworkType type);
    bool ReadNetAttributes(ByteString& block, NetworkType type);
    void SetPLCTarget(int value);

    void ReportLinkError(std::uint32_t code);
    int ShowStringMessage(unsigned id, unsigned type, ...);

    CNetAttributes m_ProfibusAttr;
    CNetAttributes m_DeviceNetAttr;
    CNetAttributes m_EthernetAttr;
    int m_nNetworkType;
    int m_nHiddenSel1;
    int m_nHiddenSel2;
    int m_nComPort; // not assigned by the constructor: 0 comes from the static instance's zero fill
    CSerialComm m_SerialComm;
};

extern CNetConfigApp theApp;

// The record of the current network type: DeviceNet for 2, Profibus for 3, Ethernet for any other value.
CNetAttributes& GetCurrentAttributes();
