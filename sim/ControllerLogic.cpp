#include "sim/ControllerLogic.h"

#include "model/NetworkType.h"

namespace {

bool IsStoredType(std::uint8_t type) {
    return type >= NetworkEthernet && type <= NetworkProfibus;
}

// A controller accepts only the block size of its own type.
std::size_t BlockLength(std::uint8_t type) {
    switch (type) {
    case NetworkEthernet:
        return 19;
    case NetworkDeviceNet:
        return 12;
    default:
        return 13;
    }
}

ControllerAnswer Refuse(std::uint8_t status) {
    return {status, {}, false};
}

ControllerAnswer Write(const Frame& request, BlockStore& store) {
    const std::uint8_t type = request.header.networkType;
    const ByteString& block = request.payload;
    if (!IsStoredType(type))
        return Refuse(ctrl::StatusType);
    if (block.size() < 2 || ((block[0] << 8) | block[1]) != static_cast<int>(block.size()))
        return Refuse(ctrl::StatusLength);
    std::optional<ByteString>& slot = store[type - 1];
    if (block == EmptyAttributeBlock()) {
        slot.reset();
        return {frame::StatusOk, {}, true};
    }
    if (block.size() < 3 || block[2] != type)
        return Refuse(ctrl::StatusType);
    if (block.size() != BlockLength(type))
        return Refuse(ctrl::StatusLength);
    slot = block;
    return {frame::StatusOk, {}, true};
}

ControllerAnswer Read(const Frame& request, const BlockStore& store) {
    const std::uint8_t type = request.header.networkType;
    if (!request.payload.empty())
        return Refuse(ctrl::StatusLength);
    if (!IsStoredType(type))
        return Refuse(ctrl::StatusType);
    return {frame::StatusOk, store[type - 1].value_or(EmptyAttributeBlock()), false};
}

} // namespace

ControllerAnswer AnswerRequest(const Frame& request, BlockStore& store) {
    switch (request.header.msgCode) {
    case ctrl::MsgStatusId:
        if (!request.payload.empty())
            return Refuse(ctrl::StatusLength);
        return {frame::StatusOk, ctrl::StatusIdPayload, false};
    case ctrl::MsgWriteNetAttr:
        return Write(request, store);
    case ctrl::MsgReadNetAttr:
        return Read(request, store);
    default:
        return Refuse(ctrl::StatusMessageCode);
    }
}
