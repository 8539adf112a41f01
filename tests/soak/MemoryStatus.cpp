#include "tests/soak/MemoryStatus.h"

#include <fstream>
#include <sstream>
#include <string>

MemoryStatus ReadMemoryStatus() {
    MemoryStatus status;
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        std::int64_t value = 0;
        if (!(fields >> key >> value))
            continue;
        if (key == "VmRSS:")
            status.rssKiB = value;
        else if (key == "VmHWM:")
            status.peakKiB = value;
    }
    return status;
}
