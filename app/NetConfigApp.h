#pragma once

#include "model/ByteString.h"
#include "model/NetAttributes.h"
#include "model/NetworkType.h"
#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/MessageCodes.h"
#include "seriallink/link/SerialComm.h"

#include <cstdint>

class CMessageSink;

// What reading a type's stored attributes came to. Every outcome but Read has been reported.
enum class StoredRead {
    Read,          // decoded into the record
    LinkFailed,    // the link failed
    NotProgrammed, // the controller holds none of that type
    Unreadable,    // the reply is too short to decode
};

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
    // `id`, when given, receives the controller's answer.
    bool ReadStatusId(ByteString* id = nullptr);
    bool WriteNetAttributes(ByteString block, NetworkType type);
    bool ReadNetAttributes(ByteString& block, NetworkType type);
    void SetPLCTarget(int value);

    // The actions both the utility and the companion take; each reports its own failures and leaves
    // telling of success to the caller. ReadStoredRecord reads the record's type (no status id first);
    // ProgramBlock reads the status id, then writes; ClearAttributes writes the empty block.
    StoredRead ReadStoredRecord(CNetAttributes& record, ByteString& reply);
    bool ProgramBlock(const ByteString& block, NetworkType type);
    bool ClearAttributes(NetworkType type);
    // Routes a framework command: the standard Help command (F1) goes to OnHelp. Returns false for a
    // command the application does not handle. Defined with the dialogs, which the help belongs to.
    bool OnCommand(unsigned nID);
    // Opens the help topic of the main dialog, as its Help button does, over the active window.
    void OnHelp();

    void ReportLinkError(std::uint32_t code);
    // Shows string `id` in the application's box, formatted printf-style with the further arguments.
    int ShowStringMessage(unsigned id, unsigned type, ...);
    // The sink the executable chose, or standard error when it chose none.
    CMessageSink& Messages();

    CNetAttributes m_ProfibusAttr;
    CNetAttributes m_DeviceNetAttr;
    CNetAttributes m_EthernetAttr;
    int m_nNetworkType;
    int m_nHiddenSel1;
    int m_nHiddenSel2;
    int m_nComPort; // index in the dialog's list: 0 is Com1
    CSerialComm m_SerialComm;
    CMessageSink* m_pMessageSink;
};

extern CNetConfigApp theApp;

// The record of the current network type: DeviceNet for 2, Profibus for 3, Ethernet for any other value.
CNetAttributes& GetCurrentAttributes();
