#pragma once

#include <cstdint>
#include <optional>

#include <termios.h>

// The termios speed constant of a line rate that m_wCommParam can select; none for any other rate.
std::optional<speed_t> TermiosSpeed(std::int32_t baudRate);
