#pragma once

#include <cstdint>
#include <string>

// The calling thread's last operating-system error, as the link library leaves it behind after a
// failed system call (errno elsewhere than Windows).
std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);

// The system's message text for an error code; empty when the system has none.
std::string SystemErrorText(std::uint32_t code);
