#include "sim/SimDevice.h"

#include "seriallink/serial/TermiosSpeed.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeRaw(int fd, const std::string& path, speed_t speed) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        Fail("tcgetattr " + path);
    ::cfmakeraw(&tio);
    if (speed != B0)
        ::cfsetspeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        Fail("tcsetattr " + path);
}

} // namespace

SimDevice CreatePty() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        Fail("posix_openpt");
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        const int error = errno;
        ::close(master);
        errno = error;
        Fail("grantpt/unlockpt");
    }
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        Fail("ptsname");
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        Fail(std::string("open ") + name);
    }
    try {
        MakeRaw(slave, name, B0);
    } catch (...) {
        ::close(slave);
        ::close(master);
        throw;
    }
    ::close(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    return {master, name, true};
}

SimDevice OpenNamedPort(const std::string& path, int baudRate) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        Fail("open " + path);
    try {
        MakeRaw(fd, path, TermiosSpeed(baudRate).value_or(B0));
    } catch (...) {
        ::close(fd);
        throw;
    }
    return {fd, path, false};
}
