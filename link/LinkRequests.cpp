#include "app/NetConfigApp.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace {

// Replies land in scratch buffers on the stack, so a request allocates nothing for them.
constexpr std::size_t StatusIdBufferSize = std::size_t{StatusIdReplyCapacity} + 1;

// A write hands the block's length over as an 8-bit count.
constexpr std::size_t MaxWritePayload = std::numeric_limits<std::uint8_t>::max();

} // namespace

bool CNetConfigApp::OpenLink() {
    CSerialComm::m_nCommMedium = 0;
    m_SerialComm.m_nSerialPort = m_nComPort + 1;
    m_SerialComm.m_wCommParam = COMM_PARAM_DEFAULT;
    const LinkResult result = m_SerialComm.InitializeCommMode();
    if (result != 0) {
        ReportLinkError(result);
        return false;
    }
    return true;
}

bool CNetConfigApp::SendRequest(std::uint8_t msgCode, bool request, std::uint8_t* payload,
                                std::uint32_t payloadLength, std::uint8_t* reply, std::uint32_t replyCapacity,
                                std::uint32_t* replyCount) {
    if (!m_SerialComm.IsHeldOpen() && !OpenLink())
        return false;
    m_SerialComm.m_nExchangeState = 0;
    const LinkResult result = m_SerialComm.ProccessMsgCode_NoThread(msgCode, request, payload, payloadLength,
                                                                    reply, replyCapacity, replyCount);
    if (result != 0) {
        // Every failed call, refused or sent, has released the port: nothing holds it while the user reads.
        ReportLinkError(result);
        return false;
    }
    if (!m_SerialComm.KeepsOpenAfter(result))
        m_SerialComm.CloseComPort();
    return true;
}

void CNetConfigApp::SetPLCTarget(int value) {
    m_SerialComm.m_bPLCTarget = value;
}

bool CNetConfigApp::ReadStatusId(ByteString* id) {
    std::array<std::uint8_t, StatusIdBufferSize> reply;
    std::uint32_t replyCount = 0;
    SetPLCTarget(1);
    const bool sent =
        SendRequest(MSGCODE_STATUS_ID, false, nullptr, 0, reply.data(), StatusIdReplyCapacity, &replyCount);
    SetPLCTarget(0);
    if (sent && id)
        id->assign(reply.begin(), reply.begin() + std::min(replyCount, StatusIdReplyCapacity));
    return sent;
}

bool CNetConfigApp::WriteNetAttributes(ByteString block, NetworkType type) {
    // A longer block cannot be described by the one-byte length; cutting it would corrupt the controller's
    // attributes, so it is refused before anything goes on the line.
    if (block.size() > MaxWritePayload)
        return false;
    const auto payloadLength = static_cast<std::uint8_t>(block.size());
    std::vector<std::uint8_t> payload(block.begin(), block.end());
    SetPLCTarget(1);
    m_SerialComm.m_byNetworkType = static_cast<std::uint8_t>(type);
    return SendRequest(MSGCODE_WRITE_NET_ATTR, true, payload.data(), payloadLength, nullptr, 0, nullptr);
}

bool CNetConfigApp::ReadNetAttributes(ByteString& block, NetworkType type) {
    std::array<std::uint8_t, ReadNetAttrReplyCapacity> reply;
    std::uint32_t replyCount = 0;
    SetPLCTarget(1);
    m_SerialComm.m_byNetworkType = static_cast<std::uint8_t>(type);
    if (!SendRequest(MSGCODE_READ_NET_ATTR, true, nullptr, 0, reply.data(), ReadNetAttrReplyCapacity,
                     &replyCount))
        return false;
    // Whatever count the library reports, nothing past the buffer is copied.
    const std::uint32_t received = std::min(replyCount, ReadNetAttrReplyCapacity);
    block.assign(reply.begin(), reply.begin() + received);
    return true;
}
