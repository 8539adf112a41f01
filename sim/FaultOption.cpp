#include "sim/FaultOption.h"

#include <charconv>
#include <utility>

namespace {

constexpr long MaxStatus = 255;
constexpr long MaxDelayMs = 60000;

constexpr std::pair<const char*, SimFault> Kinds[] = {
    {"status", SimFault::Status},
    {"no-reply", SimFault::NoReply},
    {"bad-crc", SimFault::BadChecksum},
    {"wrong-seq", SimFault::WrongSequence},
    {"wrong-code", SimFault::WrongMessageCode},
    {"truncated", SimFault::TruncatedReply},
    {"garbage", SimFault::GarbageBeforeFrame},
    {"oversized", SimFault::OversizedReply},
    {"echo", SimFault::Echo},
    {"late", SimFault::Late},
    {"endless-noise", SimFault::EndlessNoise},
    {"endless-trickle", SimFault::EndlessTrickle},
    {"endless-headers", SimFault::EndlessHeaders},
};

// Reads the decimal number that follows `marker` in `text` up to the next marker; true when absent.
bool ReadNumber(std::string_view& text, char marker, long min, long max, long& value) {
    if (text.empty() || text.front() != marker)
        return true;
    const char* begin = text.data() + 1;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop == begin || value < min || value > max)
        return false;
    text.remove_prefix(std::size_t(stop - text.data()));
    return true;
}

} // namespace

std::optional<FaultOption> ParseFaultOption(std::string_view text) {
    const std::size_t kindEnd = text.find_first_of(":x@");
    const std::string_view kind = text.substr(0, kindEnd);
    std::optional<FaultOption> option;
    for (const auto& [name, fault] : Kinds)
        if (std::string_view(name) == kind)
            option = FaultOption{fault};
    if (!option)
        return std::nullopt;
    text.remove_prefix(kind.size());

    const bool delays = option->fault == SimFault::Echo || option->fault == SimFault::Late;
    long value = 0, count = 1, code = -1;
    if (!ReadNumber(text, ':', 0, delays ? MaxDelayMs : MaxStatus, value) ||
        !ReadNumber(text, 'x', 1, 1'000'000, count) || !ReadNumber(text, '@', 0, 255, code) || !text.empty())
        return std::nullopt;
    option->value = static_cast<std::uint32_t>(value);
    option->count = static_cast<int>(count);
    option->onlyMsgCode = static_cast<int>(code);
    return option;
}

const char* FaultName(SimFault fault) {
    for (const auto& [name, kind] : Kinds)
        if (kind == fault)
            return name;
    return "?";
}

std::string FaultKindList() {
    std::string list;
    for (const auto& [name, kind] : Kinds)
        list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}
