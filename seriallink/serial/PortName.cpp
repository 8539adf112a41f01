#include "seriallink/serial/PortName.h"

#include "seriallink/network/PortUrl.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace {

bool IsAddressable(int number) {
    return number >= FirstComPort && number <= LastAddressableComPort;
}

// The family each kind has always had comes first, so that a vendor driver loaded later does not move it.
bool IsFirstFamily(const PresentPort& port) {
    switch (port.kind) {
    case PortKind::BuiltIn:
        return port.family == "ttyS";
    case PortKind::Usb:
        return port.family == "ttyUSB";
    case PortKind::Acm:
        return port.family == "ttyACM";
    }
    return false;
}

} // namespace

std::string ComPortVariable(int number) {
    return "TALVOR_COM" + std::to_string(number);
}

std::string DeviceNamed(const std::string& name) {
    constexpr const char* blanks = " \t\r\n";
    const std::size_t first = name.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    const std::string device = name.substr(first, name.find_last_not_of(blanks) - first + 1);
#ifdef _WIN32
    return device;
#else
    return device.find('/') == std::string::npos ? "/dev/" + device : device;
#endif
}

std::vector<PresentPort> PortsInComOrder(std::vector<PresentPort> present) {
    std::erase_if(present, [](const PresentPort& port) { return !port.hardware || port.console; });
    std::sort(present.begin(), present.end(), [](const PresentPort& a, const PresentPort& b) {
        return std::tuple(a.kind, !IsFirstFamily(a), a.family, a.number) <
               std::tuple(b.kind, !IsFirstFamily(b), b.family, b.number);
    });
    return present;
}

ComPortMapping MapComPort(int number, const char* variable, const PortListing& present) {
    if (!IsAddressable(number))
        return {};
    if (const std::string named = DeviceNamed(variable != nullptr ? variable : ""); !named.empty())
        return {named, ComPortSource::Variable, {}};
    if (present.error)
        return {{}, ComPortSource::Nothing, present.error};
    const std::vector<PresentPort> ordered = PortsInComOrder(present.ports);
    if (static_cast<std::size_t>(number) > ordered.size())
        return {};
    return {ordered[static_cast<std::size_t>(number) - 1].device, ComPortSource::Present, {}};
}

ComPortMapping ResolveComPort(int number, const PortListing& present) {
#ifdef _WIN32
    (void)present;
    if (!IsAddressable(number))
        return {};
    // Windows names its own ports: the variable only adds ports on device servers.
    const char* variable = std::getenv(ComPortVariable(number).c_str());
    if (const std::string named = DeviceNamed(variable != nullptr ? variable : ""); LooksLikeUrl(named))
        return {named, ComPortSource::Variable, {}};
    return {"COM" + std::to_string(number), ComPortSource::System, {}};
#else
    return MapComPort(number, std::getenv(ComPortVariable(number).c_str()), present);
#endif
}

ComPortMapping ResolveComPort(int number) {
#ifdef _WIN32
    return ResolveComPort(number, {});
#else
    // A named device needs no look at the ports present: opening it stays as quick as opening a path.
    const char* variable = std::getenv(ComPortVariable(number).c_str());
    const bool named = !DeviceNamed(variable != nullptr ? variable : "").empty();
    return MapComPort(number, variable, named ? PortListing{} : ListPresentPorts());
#endif
}
