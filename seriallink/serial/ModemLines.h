#pragma once

#include <chrono>

// Raising DTR and RTS at the open powers an adapter that draws its supply from them, and every close
// drops them again: a port with modem lines waits this long before the first request goes out. One
// setting for the process, read by every open.
inline constexpr std::chrono::milliseconds DefaultModemLineSettle{50};
inline constexpr std::chrono::milliseconds LongestModemLineSettle{1000};

std::chrono::milliseconds ModemLineSettle();
// Takes values from 0 to LongestModemLineSettle.
void SetModemLineSettle(std::chrono::milliseconds settle);
