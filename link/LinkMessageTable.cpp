#include "link/LinkMessageTable.h"

#include "seriallink/frame/LinkCodes.h"

#include <algorithm>
#include <array>

namespace {

struct LinkMessage {
    std::uint32_t code;
    unsigned stringId;
};

// Sorted by code; the same for a failed open and a failed exchange.
constexpr std::array LinkMessages{
    LinkMessage{linkcode::Checksum, IDS_ERR_CHECKSUM},
    LinkMessage{linkcode::TimeOut, IDS_ERR_TIME_OUT},
    LinkMessage{linkcode::MessageCode, IDS_ERR_MESSAGE_CODE},
    LinkMessage{linkcode::OutOfMemory, IDS_ERR_OUT_OF_MEMORY},
    LinkMessage{linkcode::MessageNumber, IDS_ERR_MESSAGE_NUMBER},
    LinkMessage{linkcode::MessageLength, IDS_ERR_MESSAGE_LENGTH},
    LinkMessage{linkcode::WrongType, IDS_ERR_TYPE},
    LinkMessage{linkcode::EepromProgram, IDS_ERR_EEPROM_PROGRAM},
    LinkMessage{linkcode::MessageLoad, IDS_ERR_MESSAGE_LOAD},
    LinkMessage{linkcode::ReadOnly, IDS_ERR_READ_ONLY},
    LinkMessage{linkcode::Format, IDS_ERR_FORMAT},
    LinkMessage{linkcode::ImageNotFound, IDS_ERR_IMAGE_NOT_FOUND},
    LinkMessage{linkcode::PortConflict, IDS_ERR_PORT_CONFLICT},
    LinkMessage{linkcode::Protection, IDS_ERR_PROTECTION},
    LinkMessage{linkcode::InMotion, IDS_ERR_IN_MOTION},
    LinkMessage{linkcode::NotProgramMode, IDS_ERR_NOT_PROGRAM_MODE},
    LinkMessage{linkcode::Password, IDS_ERR_PASSWORD},
    LinkMessage{linkcode::ForceType, IDS_ERR_FORCE_TYPE},
    LinkMessage{linkcode::StartAddress, IDS_ERR_START_ADDRESS},
    LinkMessage{linkcode::StartReboot, IDS_ERR_START_REBOOT},
    LinkMessage{linkcode::NotInitialized, IDS_ERR_NOT_INITIALIZED},
    LinkMessage{linkcode::InvalidArgument, IDS_ERR_ARGUMENT_TYPE},
    LinkMessage{linkcode::CreateThread, IDS_ERR_CREATE_THREAD},
    LinkMessage{linkcode::ClosePort, IDS_ERR_CLOSE_PORT},
    LinkMessage{linkcode::NotLoaded, IDS_ERR_NOT_LOADED},
    LinkMessage{linkcode::Transmit, IDS_ERR_TRANSMIT},
    LinkMessage{linkcode::CannotOpen, IDS_ERR_OPEN_PORT},
    LinkMessage{linkcode::PortInUse, IDS_ERR_PORT_IN_USE},
    LinkMessage{linkcode::UserAbort, IDS_ERR_USER_ABORT},
    LinkMessage{linkcode::ModemAbort, IDS_ERR_MODEM_ABORT},
};

static_assert(std::is_sorted(LinkMessages.begin(), LinkMessages.end(),
                             [](const LinkMessage& a, const LinkMessage& b) { return a.code < b.code; }));

} // namespace

bool IsSilentLinkResult(std::uint32_t code) {
    return code == linkcode::Success || code == linkcode::SilentFailure;
}

std::optional<unsigned> LinkMessageStringId(std::uint32_t code) {
    const auto row =
        std::lower_bound(LinkMessages.begin(), LinkMessages.end(), code,
                         [](const LinkMessage& m, std::uint32_t wanted) { return m.code < wanted; });
    if (row == LinkMessages.end() || row->code != code)
        return std::nullopt;
    return row->stringId;
}
