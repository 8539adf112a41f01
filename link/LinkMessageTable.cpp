#include "link/LinkMessageTable.h"

#include <algorithm>
#include <array>

namespace {

struct LinkMessage {
    std::uint32_t code;
    unsigned stringId;
};

// Sorted by code; the same for a failed open and a failed exchange.
constexpr std::array LinkMessages{
    LinkMessage{1, IDS_ERR_CHECKSUM},
    LinkMessage{2, IDS_ERR_TIME_OUT},
    LinkMessage{3, IDS_ERR_MESSAGE_CODE},
    LinkMessage{6, IDS_ERR_OUT_OF_MEMORY},
    LinkMessage{7, IDS_ERR_MESSAGE_NUMBER},
    LinkMessage{8, IDS_ERR_MESSAGE_LENGTH},
    LinkMessage{9, IDS_ERR_TYPE},
    LinkMessage{10, IDS_ERR_EEPROM_PROGRAM},
    LinkMessage{11, IDS_ERR_MESSAGE_LOAD},
    LinkMessage{14, IDS_ERR_READ_ONLY},
    LinkMessage{15, IDS_ERR_FORMAT},
    LinkMessage{16, IDS_ERR_IMAGE_NOT_FOUND},
    LinkMessage{17, IDS_ERR_PORT_CONFLICT},
    LinkMessage{19, IDS_ERR_PROTECTION},
    LinkMessage{20, IDS_ERR_IN_MOTION},
    LinkMessage{21, IDS_ERR_NOT_PROGRAM_MODE},
    LinkMessage{22, IDS_ERR_PASSWORD},
    LinkMessage{23, IDS_ERR_FORCE_TYPE},
    LinkMessage{25, IDS_ERR_START_ADDRESS},
    LinkMessage{26, IDS_ERR_START_REBOOT},
    LinkMessage{30, IDS_ERR_NOT_INITIALIZED},
    LinkMessage{31, IDS_ERR_ARGUMENT_TYPE},
    LinkMessage{32, IDS_ERR_CREATE_THREAD},
    LinkMessage{33, IDS_ERR_CLOSE_PORT},
    LinkMessage{34, IDS_ERR_NOT_LOADED},
    LinkMessage{35, IDS_ERR_TRANSMIT},
    LinkMessage{36, IDS_ERR_OPEN_PORT},
    LinkMessage{37, IDS_ERR_PORT_IN_USE},
    LinkMessage{212, IDS_ERR_USER_ABORT},
    LinkMessage{213, IDS_ERR_MODEM_ABORT},
};

static_assert(std::is_sorted(LinkMessages.begin(), LinkMessages.end(),
                             [](const LinkMessage& a, const LinkMessage& b) { return a.code < b.code; }));

} // namespace

bool IsSilentLinkResult(std::uint32_t code) {
    return code == 0 || code == 18;
}

std::optional<unsigned> LinkMessageStringId(std::uint32_t code) {
    const auto row =
        std::lower_bound(LinkMessages.begin(), LinkMessages.end(), code,
                         [](const LinkMessage& m, std::uint32_t wanted) { return m.code < wanted; });
    if (row == LinkMessages.end() || row->code != code)
        return std::nullopt;
    return row->stringId;
}
