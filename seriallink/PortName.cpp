#include "seriallink/PortName.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool IsAddressable(int number) {
    return number >= FirstComPort && number <= LastAddressableComPort;
}

} // namespace

std::string ComPortVariable(int number) {
    return "TALVOR_COM" + std::to_string(number);
}

std::vector<PresentPort> PortsInComOrder(std::vector<PresentPort> present) {
    std::erase_if(present, [](const PresentPort& port) { return !port.hardware; });
    std::sort(present.begin(), present.end(), [](const PresentPort& a, const PresentPort& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.number < b.number;
    });
    return present;
}

ComPortMapping MapComPort(int number, const char* variable, const std::vector<PresentPort>& present) {
    if (!IsAddressable(number))
        return {};
    if (variable != nullptr && *variable != '\0')
        return {variable, ComPortSource::Variable};
    const std::vector<PresentPort> ordered = PortsInComOrder(present);
    if (static_cast<std::size_t>(number) > ordered.size())
        return {};
    return {ordered[static_cast<std::size_t>(number) - 1].device, ComPortSource::Present};
}

ComPortMapping ResolveComPort(int number, const std::vector<PresentPort>& present) {
#ifdef _WIN32
    (void)present;
    if (!IsAddressable(number))
        return {};
    return {"COM" + std::to_string(number), ComPortSource::System};
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
    const bool named = variable != nullptr && *variable != '\0';
    return MapComPort(number, variable, named ? std::vector<PresentPort>{} : ListPresentPorts());
#endif
}

std::string ComPortDevice(int number) {
    return ResolveComPort(number).device;
}
