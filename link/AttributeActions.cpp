#include "app/NetConfigApp.h"
#include "link/MessageSink.h"
#include "platform/MessageBoxTypes.h"
#include "res/AttributeMessages.h"

namespace {

constexpr unsigned RefusedBoxType = mb::OK | mb::ICONEXCLAMATION;

} // namespace

StoredRead CNetConfigApp::ReadStoredRecord(CNetAttributes& record, ByteString& reply) {
    const AttributeMessages& messages = AttributeMessagesFor(record.m_nType);
    if (!ReadNetAttributes(reply, static_cast<NetworkType>(record.m_nType))) {
        Messages().ShowAppMessage(messages.readFailed, RefusedBoxType);
        return StoredRead::LinkFailed;
    }
    if (reply.size() == EmptyAttributeBlock().size()) {
        Messages().ShowAppMessage(messages.notProgrammed, RefusedBoxType);
        return StoredRead::NotProgrammed;
    }
    // The record only ever takes a complete block.
    if (reply.size() < record.ParsedLength()) {
        Messages().ShowAppMessage(messages.readFailed, RefusedBoxType);
        return StoredRead::Unreadable;
    }
    record.ParseBlock(reply);
    return StoredRead::Read;
}

bool CNetConfigApp::ProgramBlock(const ByteString& block, NetworkType type) {
    // A failed status id has been reported by the link; nothing more is said.
    if (!ReadStatusId())
        return false;
    if (WriteNetAttributes(block, type))
        return true;
    Messages().ShowAppMessage(AttributeMessagesFor(type).programFailed, RefusedBoxType);
    return false;
}

bool CNetConfigApp::ClearAttributes(NetworkType type) {
    if (WriteNetAttributes(EmptyAttributeBlock(), type))
        return true;
    Messages().ShowAppMessage(AttributeMessagesFor(type).clearFailed, RefusedBoxType);
    return false;
}
