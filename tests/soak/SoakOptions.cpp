#include "tests/soak/SoakOptions.h"

#include <charconv>
#include <string_view>

namespace {

template <class T> bool ParseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::optional<SoakOptions> ParseSoakOptions(int argc, char** argv) {
    SoakOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        const auto equals = arg.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        const std::string_view name = arg.substr(0, equals);
        const std::string_view value = arg.substr(equals + 1);
        bool parsed = false;
        if (name == "--pairs")
            parsed = ParseNumber(value, options.pairs) && options.pairs > 0;
        else if (name == "--seconds")
            parsed = ParseNumber(value, options.seconds) && options.seconds > 0;
        else if (name == "--fault-rate")
            parsed =
                ParseNumber(value, options.faultRate) && options.faultRate >= 0 && options.faultRate <= 1;
        else if (name == "--seed")
            parsed = ParseNumber(value, options.seed);
        if (!parsed)
            return std::nullopt;
    }
    return options;
}
