#include "seriallink/PortName.h"

#include <cstdlib>

std::string ComPortDevice(int number) {
    const std::string index = std::to_string(number);
#ifdef _WIN32
    return "COM" + index;
#else
    const char* configured = std::getenv(("TALVOR_COM" + index).c_str());
    if (configured != nullptr && *configured != '\0')
        return configured;
    return "/dev/ttyS" + std::to_string(number - 1);
#endif
}
