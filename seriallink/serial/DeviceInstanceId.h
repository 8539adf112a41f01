#pragma once

#include <string>

// What a Windows device instance id says of its device: "USB\VID_0403&PID_6001\A5XK3RJT" is USB device
// 0403:6001 with serial number A5XK3RJT.
struct InstanceId {
    std::string vendorId; // the four hex digits after VID_, empty where the id has none
    std::string productId;
    // The last part of a USB device's id, unless the system made that part up itself (then it holds '&').
    std::string serialNumber;
    // A function of an adapter rather than the adapter: a port of the FTDI bus driver (FTDIBUS\...) or an
    // interface of a composite device (USB\...&MI_xx\...). The serial number is in a device above it.
    bool serialAbove = false;
};

InstanceId ReadInstanceId(const std::string& id);
