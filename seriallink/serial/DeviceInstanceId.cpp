#include "seriallink/serial/DeviceInstanceId.h"

namespace {

// The four hex digits after `tag` ("VID_", "PID_"); empty where the id has no such tag or ends early.
std::string IdAfter(const std::string& id, const char* tag) {
    const std::size_t at = id.find(tag);
    return at == std::string::npos || id.size() < at + 8 ? std::string() : id.substr(at + 4, 4);
}

} // namespace

InstanceId ReadInstanceId(const std::string& id) {
    InstanceId read;
    read.vendorId = IdAfter(id, "VID_");
    read.productId = IdAfter(id, "PID_");
    const bool usb = id.rfind("USB\\", 0) == 0;
    const std::size_t last = id.rfind('\\');
    // The hardware part between the bus and the instance: VID_2341&PID_0043&MI_00.
    const std::string hardware =
        last > 4 && last != std::string::npos ? id.substr(4, last - 4) : std::string();
    read.serialAbove = id.rfind("FTDIBUS\\", 0) == 0 || (usb && hardware.find("&MI_") != std::string::npos);
    if (usb && !read.serialAbove && !hardware.empty() && id.find('&', last) == std::string::npos)
        read.serialNumber = id.substr(last + 1);
    return read;
}
