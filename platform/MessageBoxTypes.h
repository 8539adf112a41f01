#pragma once

#include "platform/WindowStyles.h"

// Message box types as the Windows API numbers them; tests and callers compare against these.
namespace mb {
enum Type : unsigned {
    OK = 0x00,
    ICONSTOP = 0x10,
    ICONEXCLAMATION = 0x30,
    ICONINFORMATION = 0x40,
    ICONMASK = 0xF0,
    // An ownerless system box that still blocks every window of the application.
    TASKMODAL = 0x2000,
};
// What a box returns when its OK button closes it.
inline constexpr int RESULT_OK = id::OK;
} // namespace mb
