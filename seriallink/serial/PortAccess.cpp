#include "seriallink/serial/PortAccess.h"

#ifndef _WIN32
#include <cerrno>
#include <vector>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

DeviceAccess CheckDeviceAccess(const std::string& device) {
    DeviceAccess access;
#ifndef _WIN32
    if (::access(device.c_str(), R_OK | W_OK) != 0)
        access.error = errno;
    access.group = DeviceGroup(device);
#else
    (void)device;
#endif
    return access;
}

std::string DeviceGroup(const std::string& device) {
#ifndef _WIN32
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0)
        return {};
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(4096);
    while (::getgrgid_r(status.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < 1 << 20)
        buffer.resize(buffer.size() * 2);
    return found != nullptr ? found->gr_name : std::to_string(status.st_gid);
#else
    (void)device;
    return {};
#endif
}

std::string PermissionFix(const std::string& device, int error, const std::string& group) {
#ifndef _WIN32
    if (error != EACCES && error != EPERM)
        return {};
    // Joining root's group would hand the user far more than the port.
    if (group.empty() || group == "root")
        return device + " may only be opened by root: give it a group of serial users (dialout) with a "
                        "udev rule, then add your user to that group.";
    return device + " belongs to group " + group + ": add your user to that group (sudo usermod -aG " +
           group + " $USER), then log in again.";
#else
    (void)device;
    (void)error;
    (void)group;
    return {};
#endif
}
