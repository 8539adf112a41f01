#pragma once

#include <string>

// Test-name suffix for a signed number: gtest names allow only letters, digits and underscores.
inline std::string NumberName(long value) {
    return value < 0 ? "minus" + std::to_string(-value) : std::to_string(value);
}

inline std::string NetworkTypeName(int type) {
    switch (type) {
    case 0:
        return "None";
    case 1:
        return "Ethernet";
    case 2:
        return "DeviceNet";
    case 3:
        return "Profibus";
    default:
        return "Type" + NumberName(type);
    }
}
