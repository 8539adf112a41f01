#pragma once

#include <array>

// The DeviceNet baud rates in kb/s; a record's baud rate byte is an index into this list.
inline constexpr std::array<int, 3> DeviceNetBaudRatesKbps{125, 250, 500};
