#include "platform/LastError.h"

#include <cstring>

namespace {
thread_local std::uint32_t lastError = 0;
}

std::uint32_t GetLastError() {
    return lastError;
}

void SetLastError(std::uint32_t code) {
    lastError = code;
}

std::string SystemErrorText(std::uint32_t code) {
    const char* text = std::strerror(static_cast<int>(code));
    return text ? std::string(text) : std::string();
}
