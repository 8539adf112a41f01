#pragma once

#include <array>

// The DeviceNet baud rates in kb/s; a block's baud-rate byte is the index into this list.
inline constexpr std::array<int, 3> DeviceNetBaudRatesKbps{125, 250, 500};
