#include "seriallink/serial/PortList.h"

#include "seriallink/serial/PortAccess.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// ttyAMA12 -> {"ttyAMA", 12}; nothing for a name that does not end in a number.
std::optional<std::pair<std::string, int>> SplitNodeName(const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    if (digits == 0 || digits == name.size() || name.size() - digits > 6)
        return std::nullopt;
    return std::pair{name.substr(0, digits), std::stoi(name.substr(digits))};
}

// The ttys the kernel's console writes to, from the console's `active` list ("tty0 ttyS0").
std::vector<std::string> ConsoleNames(const fs::path& ttyClass) {
    std::istringstream active(FirstLine(ttyClass / "console/active"));
    std::vector<std::string> names;
    for (std::string name; active >> name;)
        names.push_back(name);
    return names;
}

// The links of a /dev/serial folder by the node they lead to (ttyUSB0 -> /dev/serial/by-id/usb-..._A5XK3RJT-
// if00-port0). A link that cannot be read is left out, not the rest; of two links to one node the first by
// name is kept, so the name offered does not change with the folder's order.
std::map<std::string, std::string> LinksByNode(const fs::path& folder) {
    std::map<std::string, std::string> names;
    std::error_code listError;
    for (fs::directory_iterator link(folder, listError), end; !listError && link != end;
         link.increment(listError)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(link->path(), linkError);
        if (linkError)
            continue;
        const auto [kept, added] = names.emplace(target.filename().string(), link->path().string());
        if (!added && link->path().string() < kept->second)
            kept->second = link->path().string();
    }
    return names;
}

struct StableNames {
    std::map<std::string, std::string> byId;
    std::map<std::string, std::string> byPath;
};

// The name under /dev/serial that stays with a USB adapter. Adapters without a serial number share one
// by-id name, which udev gives to one of them only: theirs is the by-path name of the USB socket. The
// node name of a built-in port is stable itself.
std::string StableName(const StableNames& names, const std::string& node, const PresentPort& port) {
    if (port.kind == PortKind::BuiltIn)
        return {};
    const std::map<std::string, std::string>& links = port.serialNumber.empty() ? names.byPath : names.byId;
    const auto found = links.find(node);
    return found == links.end() ? std::string() : found->second;
}

// Where a USB serial or modem driver serves the node: the USB interface its device hangs off (the device
// itself for a modem or a vendor driver, its parent for a usb-serial port). Empty for any other tty.
fs::path UsbInterface(const fs::path& node) {
    std::error_code error;
    const fs::path device = fs::canonical(node / "device", error);
    if (error)
        return {};
    if (Exists(device / "bInterfaceNumber"))
        return device;
    const bool usbSerialPort = fs::read_symlink(device / "subsystem", error).filename() == "usb-serial";
    if (!error && usbSerialPort && Exists(device.parent_path() / "bInterfaceNumber"))
        return device.parent_path();
    return {};
}

void ReadUsbIdentity(const fs::path& interface, PresentPort& port) {
    const fs::path usbDevice = interface.parent_path();
    port.vendorId = FirstLine(usbDevice / "idVendor");
    port.productId = FirstLine(usbDevice / "idProduct");
    port.description = FirstLine(usbDevice / "product");
    port.manufacturer = FirstLine(usbDevice / "manufacturer");
    port.serialNumber = FirstLine(usbDevice / "serial");
    port.interfaceNumber = FirstLine(interface / "bInterfaceNumber");
}

// Fills in what the kernel says about tty `node`; false when no serial driver registered it.
bool ReadSerialNode(const fs::path& node, PresentPort& port, fs::path& usbDevice) {
    if (Exists(node / "type")) {
        // Serial core keeps a node for every port its driver could have; type 0 means no UART answered.
        port.kind = PortKind::BuiltIn;
        port.hardware = Exists(node / "device") && FirstLine(node / "type") != "0";
        port.console = FirstLine(node / "console") == "Y";
        return true;
    }
    const fs::path interface = UsbInterface(node);
    if (interface.empty())
        return false;
    std::error_code error;
    const bool modem = fs::read_symlink(interface / "driver", error).filename() == "cdc_acm";
    port.kind = modem ? PortKind::Acm : PortKind::Usb;
    ReadUsbIdentity(interface, port);
    usbDevice = interface.parent_path();
    return true;
}

} // namespace

PortListing ListPresentPorts(const DeviceTree& tree) {
    const fs::path ttyClass = tree.sys / "class/tty";
    const std::vector<std::string> consoles = ConsoleNames(ttyClass);
    const StableNames stableNames{LinksByNode(tree.dev / "serial/by-id"),
                                  LinksByNode(tree.dev / "serial/by-path")};
    PortListing listing;
    std::map<fs::path, int> portsOfAdapter;
    std::vector<fs::path> adapterOf;
    fs::directory_iterator entry(ttyClass, listing.error);
    if (listing.error == std::errc::no_such_file_or_directory) {
        listing.error.clear(); // a machine without ttys
        return listing;
    }
    for (fs::directory_iterator end; !listing.error && entry != end; entry.increment(listing.error)) {
        const std::string name = entry->path().filename().string();
        const auto split = SplitNodeName(name);
        PresentPort port;
        fs::path usbDevice;
        if (!split || !ReadSerialNode(entry->path(), port, usbDevice))
            continue;
        port.family = split->first;
        port.number = split->second;
        port.device = (tree.dev / name).string();
        port.console = port.console || std::find(consoles.begin(), consoles.end(), name) != consoles.end();
        port.stableName = StableName(stableNames, name, port);
        if (port.hardware) {
            const DeviceAccess access = CheckDeviceAccess(port.device);
            port.accessError = access.error;
            port.group = access.group;
        }
        if (!usbDevice.empty())
            ++portsOfAdapter[usbDevice];
        adapterOf.push_back(usbDevice);
        listing.ports.push_back(std::move(port));
    }
    // The interface tells ports of one adapter apart; on an adapter of one port it says nothing.
    for (std::size_t i = 0; i < listing.ports.size(); ++i)
        if (adapterOf[i].empty() || portsOfAdapter[adapterOf[i]] < 2)
            listing.ports[i].interfaceNumber.clear();
    if (listing.error)
        listing.ports.clear();
    return listing;
}
