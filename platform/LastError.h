#pragma once

#include <cstdint>
#include <string>

// The calling thread's last operating-system error, as the link library leaves it behind after a
// failed system call: errno, or GetLastError() on Windows, taken at the call that failed.
std::uint32_t LastSystemError();
void SetLastSystemError(std::uint32_t code);

// The system's message text for an error code (strerror, or FormatMessage on Windows); empty when
// the system has none.
std::string SystemErrorText(std::uint32_t code);
