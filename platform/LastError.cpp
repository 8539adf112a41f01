#include "platform/LastError.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstring>
#endif

namespace {
thread_local std::uint32_t lastError = 0;
}

std::uint32_t LastSystemError() {
    return lastError;
}

void SetLastSystemError(std::uint32_t code) {
    lastError = code;
}

#ifdef _WIN32
std::string SystemErrorText(std::uint32_t code) {
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                              FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                          nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length != 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
    ::LocalFree(buffer);
    return text;
}
#else
std::string SystemErrorText(std::uint32_t code) {
    const char* text = std::strerror(static_cast<int>(code));
    return text ? std::string(text) : std::string();
}
#endif
