#pragma once

#include <string>

// Whether this process may open a device node, and who owns it: a serial port made for a group the
// user is not in fails to open with a bare "Permission denied", and the user needs the fix with it.
struct DeviceAccess {
    int error = 0;     // errno of the check: 0 when the device may be opened for reading and writing
    std::string group; // the group owning the node; empty when it cannot be read
};

// Checks `device` without opening it (opening a serial port raises its modem lines). Windows has no
// such check: the result is always 0 and no group.
DeviceAccess CheckDeviceAccess(const std::string& device);

// The group owning `device`; empty on Windows or when it cannot be read.
std::string DeviceGroup(const std::string& device);

// What to do when `device` was refused with system error `error`: empty unless the refusal is for lack of
// permission, otherwise the group that owns the device and how to join it.
std::string PermissionFix(const std::string& device, int error, const std::string& group);
