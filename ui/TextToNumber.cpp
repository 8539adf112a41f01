#include "ui/TextToNumber.h"

#include <climits>
#include <cstdlib>
#include <string>

int TextToNumber(const QString& text) {
    // A fresh, terminated copy: the conversion never reads the widget's own storage.
    const std::string buffer = text.toStdString();
    const long value = std::strtol(buffer.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}
