#include "seriallink/serial/TermiosSpeed.h"

std::optional<speed_t> TermiosSpeed(std::int32_t baudRate) {
    switch (baudRate) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return std::nullopt;
    }
}
