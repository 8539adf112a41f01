#include "sim/ControllerLogic.h"

#include "model/NetAttributes.h"
#include "seriallink/frame/LinkCodes.h"
#include "seriallink/frame/MessageCodes.h"

namespace {

bool IsStoredType(std::uint8_t type) {
    return type >= NetworkEthernet && type <= NetworkProfibus;
}

ControllerAnswer Refuse(std::uint8_t status) {
    return {status, {}, false};
}

ControllerAnswer Write(const Frame& request, BlockStore& store) {
    const std::uint8_t type = request.header.networkType;
    const ByteString& block = request.payload;
    if (!IsStoredType(type))
        return Refuse(linkcode::WrongType);
    const std::optional<BlockFrameFault> fault = CheckBlockFrame(block, type);
    if (fault == BlockFrameFault::LengthField)
        return Refuse(linkcode::MessageLength);
    std::optional<ByteString>& slot = store[type - 1];
    if (block == EmptyAttributeBlock()) {
        slot.reset();
        return {frame::StatusOk, {}, true};
    }
    // A controller accepts only the block size of its own type.
    if (fault)
        return Refuse(fault == BlockFrameFault::TypeByte ? linkcode::WrongType : linkcode::MessageLength);
    slot = block;
    return {frame::StatusOk, {}, true};
}

ControllerAnswer Read(const Frame& request, const BlockStore& store) {
    const std::uint8_t type = request.header.networkType;
    if (!request.payload.empty())
        return Refuse(linkcode::MessageLength);
    if (!IsStoredType(type))
        return Refuse(linkcode::WrongType);
    return {frame::StatusOk, store[type - 1].value_or(EmptyAttributeBlock()), false};
}

} // namespace

ControllerAnswer AnswerRequest(const Frame& request, BlockStore& store) {
    switch (request.header.msgCode) {
    case MSGCODE_STATUS_ID:
        if (!request.payload.empty())
            return Refuse(linkcode::MessageLength);
        return {frame::StatusOk, ctrl::StatusIdPayload, false};
    case MSGCODE_WRITE_NET_ATTR:
        return Write(request, store);
    case MSGCODE_READ_NET_ATTR:
        return Read(request, store);
    default:
        return Refuse(linkcode::MessageCode);
    }
}
