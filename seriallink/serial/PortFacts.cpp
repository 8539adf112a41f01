#include "seriallink/serial/PortFacts.h"

#include "seriallink/serial/PortAccess.h"
#include "seriallink/serial/PortName.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool SameNode(const std::string& a, const std::string& b) {
#ifdef _WIN32
    // A port name is no file: asking the file system about it would open the port.
    return a == b;
#else
    // A link such as a by-id name leads to the node itself.
    std::error_code error;
    return a == b || fs::equivalent(a, b, error);
#endif
}

void Append(std::string& text, const std::string& part) {
    if (part.empty())
        return;
    text += text.empty() ? part : ", " + part;
}

} // namespace

std::optional<PresentPort> FindDevice(const PortListing& present, const std::string& device) {
    for (const PresentPort& port : present.ports)
        if (SameNode(port.device, device))
            return port;
#ifdef _WIN32
    return std::nullopt;
#else
    std::error_code error;
    if (!fs::exists(device, error))
        return std::nullopt;
    PresentPort port;
    port.device = device;
    const DeviceAccess access = CheckDeviceAccess(device);
    port.accessError = access.error;
    port.group = access.group;
    return port;
#endif
}

std::string AdapterIdentity(const PresentPort& port) {
    std::string identity;
    Append(identity, port.description);
    Append(identity, port.manufacturer);
    if (!port.vendorId.empty())
        Append(identity, "USB " + port.vendorId + ":" + port.productId);
    if (!port.serialNumber.empty())
        Append(identity, "serial " + port.serialNumber);
    if (!port.interfaceNumber.empty())
        Append(identity, "interface " + port.interfaceNumber);
    return identity;
}

std::vector<std::string> PortNotes(const PresentPort& port) {
    std::vector<std::string> notes;
    if (!port.stableName.empty())
        notes.push_back("Its name for scripts and plans: " + port.stableName +
                        (port.serialNumber.empty()
                             ? " (the adapter has no serial number, so this name follows "
                               "the USB socket it is plugged into)."
                             : " (COM numbers move when adapters come and go)."));
    if (port.console)
        notes.push_back(port.device + " is the system console: COM numbers skip it.");
    if (const std::string fix = PermissionFix(port.device, port.accessError, port.group); !fix.empty())
        notes.push_back("Permission denied: " + fix);
    return notes;
}

std::vector<std::string> UncountedConsoles(const PortListing& present, const std::string& device,
                                           int number) {
    std::vector<std::string> notes;
    for (const PresentPort& port : present.ports)
        if (port.console && port.hardware && !SameNode(port.device, device))
            notes.push_back(port.device + " is the system console and is not counted: name it with " +
                            ComPortVariable(number) + " to use it.");
    return notes;
}
