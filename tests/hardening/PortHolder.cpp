// Stands in for another application that has a serial device open: opens the device named on the
// command line, says "held" on stdout and keeps it open until its stdin closes.
#include "platform/LastError.h"
#include "seriallink/serial/SerialPort.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DEVICE\n", argv[0]);
        return 2;
    }
    std::unique_ptr<CSerialPort> port;
    if (CSerialPort::Open(argv[1], 19200, port) != 0) {
        std::fprintf(stderr, "%s: %s\n", argv[1], SystemErrorText(LastSystemError()).c_str());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
