#pragma once

#include <string>

// The device side of the serial line, opened non-blocking.
struct SimDevice {
    int fd = -1;
    std::string path; // what a client opens
    bool isPty = false;
};

// A new pseudo-terminal: the master is kept, the slave is put in raw mode so that the first client
// sees no echo or line translation. Throws std::runtime_error.
SimDevice CreatePty();

// A named serial port in raw mode at the given rate. Throws std::runtime_error.
SimDevice OpenNamedPort(const std::string& path, int baudRate);
