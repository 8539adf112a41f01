#include "seriallink/PortList.h"

#include <array>
#include <fstream>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace {

struct NodePrefix {
    const char* prefix;
    PortKind kind;
};
constexpr std::array<NodePrefix, 3> SerialNodes{{
    {"ttyUSB", PortKind::Usb},
    {"ttyACM", PortKind::Acm},
    {"ttyS", PortKind::BuiltIn},
}};

// The number after `prefix` when `name` is the prefix followed by digits alone.
std::optional<int> NodeNumber(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 6 || name.rfind(prefix, 0) != 0)
        return std::nullopt;
    int number = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return std::nullopt;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The kernel keeps a ttyS node for every port the driver could have: a node without a device, or whose
// port type is 0 (unknown: no UART answered at its address), has nothing behind it.
bool HasUart(const fs::path& node) {
    std::error_code error;
    if (!fs::exists(node / "device", error))
        return false;
    return FirstLine(node / "type") != "0";
}

// Fills in what the USB device above the node says about itself.
void ReadUsbIdentity(const fs::path& node, PresentPort& port) {
    std::error_code error;
    fs::path device = fs::canonical(node / "device", error);
    for (int up = 0; !error && up < 4 && device.has_relative_path(); ++up, device = device.parent_path()) {
        if (!fs::exists(device / "idVendor", error))
            continue;
        port.vendorId = FirstLine(device / "idVendor");
        port.productId = FirstLine(device / "idProduct");
        port.description = FirstLine(device / "product");
        port.manufacturer = FirstLine(device / "manufacturer");
        port.serialNumber = FirstLine(device / "serial");
        return;
    }
}

} // namespace

std::vector<PresentPort> ListTtyClassPorts(const fs::path& ttyClass) {
    std::vector<PresentPort> ports;
    std::error_code error;
    // Nodes come and go while adapters are plugged: step on without throwing when one vanishes.
    for (fs::directory_iterator entry(ttyClass, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        for (const NodePrefix& node : SerialNodes) {
            const std::optional<int> number = NodeNumber(name, node.prefix);
            if (!number)
                continue;
            PresentPort port;
            port.device = "/dev/" + name;
            port.kind = node.kind;
            port.number = *number;
            if (node.kind == PortKind::BuiltIn)
                port.hardware = HasUart(entry->path());
            else
                ReadUsbIdentity(entry->path(), port);
            ports.push_back(std::move(port));
            break;
        }
    }
    return ports;
}

std::vector<PresentPort> ListPresentPorts() {
    return ListTtyClassPorts("/sys/class/tty");
}
