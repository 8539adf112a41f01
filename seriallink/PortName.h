#pragma once

#include <string>

inline constexpr int FirstComPort = 1;
inline constexpr int LastComPort = 8;

// The device behind COM port `number` (1 to 8): "COMn" on Windows; elsewhere the device named by the
// environment variable TALVOR_COMn when it is set and not empty, otherwise /dev/ttyS(n-1).
std::string ComPortDevice(int number);
