#include "link/LinkMessageTable.h"

#include <algorithm>
#include <array>

namespace {

struct LinkMessage {
    std::uint32_t code;
    unsigned stringId;
};

// Sorted by code; the same for a failed open and a failed exchange.
constexpr std::array kLinkMessages{
    LinkMessage{1, 104},   LinkMessage{2, 105},   LinkMessage{3, 107},  LinkMessage{6, 109},
    LinkMessage{7, 110},   LinkMessage{8, 111},   LinkMessage{9, 112},  LinkMessage{10, 113},
    LinkMessage{11, 114},  LinkMessage{14, 115},  LinkMessage{15, 116}, LinkMessage{16, 117},
    LinkMessage{17, 118},  LinkMessage{19, 120},  LinkMessage{20, 122}, LinkMessage{21, 124},
    LinkMessage{22, 125},  LinkMessage{23, 127},  LinkMessage{25, 135}, LinkMessage{26, 136},
    LinkMessage{30, 130},  LinkMessage{31, 131},  LinkMessage{32, 132}, LinkMessage{33, 133},
    LinkMessage{34, 134},  LinkMessage{35, 137},  LinkMessage{36, 102}, LinkMessage{37, 103},
    LinkMessage{212, 128}, LinkMessage{213, 129},
};

static_assert(std::is_sorted(kLinkMessages.begin(), kLinkMessages.end(),
                             [](const LinkMessage& a, const LinkMessage& b) { return a.code < b.code; }));

} // namespace

bool IsSilentLinkResult(std::uint32_t code) {
    return code == 0 || code == 18;
}

std::optional<unsigned> LinkMessageStringId(std::uint32_t code) {
    const auto row =
        std::lower_bound(kLinkMessages.begin(), kLinkMessages.end(), code,
                         [](const LinkMessage& m, std::uint32_t wanted) { return m.code < wanted; });
    if (row == kLinkMessages.end() || row->code != code)
        return std::nullopt;
    return row->stringId;
}
