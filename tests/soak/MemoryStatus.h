#pragma once

#include <cstdint>

// This process's resident memory from /proc/self/status, in KiB: now (VmRSS) and the peak (VmHWM).
struct MemoryStatus {
    std::int64_t rssKiB = -1;
    std::int64_t peakKiB = -1;
};

MemoryStatus ReadMemoryStatus();
