#include "seriallink/serial/PortList.h"

#include "seriallink/serial/DeviceInstanceId.h"

#include <windows.h>
// The GUIDs of the device classes are defined, not only declared, in this file.
#include <initguid.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text, int length) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, converted.data(), size, nullptr, nullptr);
    return converted;
}

// COM3 -> 3; 0 for a name of another form.
int ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 9 || (name.rfind("COM", 0) != 0 && name.rfind("com", 0) != 0))
        return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct DeviceListCloser {
    void operator()(HDEVINFO list) const { ::SetupDiDestroyDeviceInfoList(list); }
};

std::string Utf8(const wchar_t* text) {
    return Utf8(text, static_cast<int>(::wcslen(text)));
}

// The text `read(buffer, characters, required)` leaves in a buffer of 256 characters or, when the system
// says that is too small (ERROR_INSUFFICIENT_BUFFER), in one of the size it asks for. One character more
// stays zero, so text stored without a terminator still ends. Empty when the system gives none.
template <typename Read> std::string GrowingText(Read read) {
    std::vector<wchar_t> text(257, L'\0');
    DWORD required = 0;
    bool done = read(text.data(), static_cast<DWORD>(text.size() - 1), required);
    if (!done && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER && required >= text.size()) {
        text.assign(required + 1, L'\0');
        done = read(text.data(), required, required);
    }
    return done ? Utf8(text.data()) : std::string();
}

std::string RegistryProperty(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
    return GrowingText([&](wchar_t* text, DWORD characters, DWORD& required) {
        DWORD type = 0;
        DWORD requiredBytes = 0;
        const bool read = ::SetupDiGetDeviceRegistryPropertyW(
            list, &device, property, &type, reinterpret_cast<BYTE*>(text),
            static_cast<DWORD>(characters * sizeof(wchar_t)), &requiredBytes);
        required = (requiredBytes + sizeof(wchar_t) - 1) / sizeof(wchar_t);
        return read && type == REG_SZ;
    });
}

std::string InstanceIdOf(HDEVINFO list, SP_DEVINFO_DATA& device) {
    return GrowingText([&](wchar_t* text, DWORD characters, DWORD& required) {
        return ::SetupDiGetDeviceInstanceIdW(list, &device, text, characters, &required) != FALSE;
    });
}

// The port name the device's key records: PortName, or from a driver that records its number alone,
// PortNumber.
std::string PortNameOf(HDEVINFO list, SP_DEVINFO_DATA& device) {
    const HKEY opened =
        ::SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (opened == INVALID_HANDLE_VALUE)
        return {};
    const Key key(opened);
    wchar_t name[64] = {};
    DWORD bytes = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.get(), L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes) ==
            ERROR_SUCCESS &&
        type == REG_SZ && name[0] != L'\0')
        return Utf8(name);
    DWORD number = 0;
    bytes = sizeof number;
    if (::RegQueryValueExW(key.get(), L"PortNumber", nullptr, &type, reinterpret_cast<BYTE*>(&number),
                           &bytes) == ERROR_SUCCESS &&
        type == REG_DWORD && number > 0)
        return "COM" + std::to_string(number);
    return {};
}

// The serial number of the adapter: in the port device's own instance id or, for a function of the
// adapter, in the id of a device above it (an FTDI bus port hangs off the USB device or off one of its
// interfaces, which hangs off the device).
std::string SerialNumber(DEVINST device, InstanceId id) {
    for (int up = 0; id.serialAbove && up < 2; ++up) {
        DEVINST parent = 0;
        wchar_t text[MAX_DEVICE_ID_LEN + 1] = {};
        if (::CM_Get_Parent(&parent, device, 0) != CR_SUCCESS ||
            ::CM_Get_Device_IDW(parent, text, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
            return {};
        device = parent;
        id = ReadInstanceId(Utf8(text));
    }
    return id.serialNumber;
}

// What the system records of a port's device: its friendly name ("USB Serial Port (COM3)"), maker and,
// for a USB device, its ids and the serial number.
void ReadIdentity(HDEVINFO list, SP_DEVINFO_DATA& device, PresentPort& port) {
    port.description = RegistryProperty(list, device, SPDRP_FRIENDLYNAME);
    port.manufacturer = RegistryProperty(list, device, SPDRP_MFG);
    const InstanceId id = ReadInstanceId(InstanceIdOf(list, device));
    port.vendorId = id.vendorId;
    port.productId = id.productId;
    if (!port.vendorId.empty())
        port.kind = PortKind::Usb;
    port.serialNumber = SerialNumber(device.DevInst, id);
}

// Devices that drivers register as COM ports, whatever class they install in.
constexpr GUID kComPortInterface{
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

// The identity of every port device present, by port name: those of the ports and modem classes and
// those of the COM port interface.
std::map<std::string, PresentPort> PortIdentities() {
    struct DeviceSet {
        const GUID* guid;
        DWORD flags;
    };
    std::map<std::string, PresentPort> identities;
    for (const DeviceSet set :
         {DeviceSet{&GUID_DEVCLASS_PORTS, DIGCF_PRESENT}, DeviceSet{&GUID_DEVCLASS_MODEM, DIGCF_PRESENT},
          DeviceSet{&kComPortInterface, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE}}) {
        const HDEVINFO opened = ::SetupDiGetClassDevsW(set.guid, nullptr, nullptr, set.flags);
        if (opened == INVALID_HANDLE_VALUE)
            continue;
        const std::unique_ptr<void, DeviceListCloser> list(opened);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        for (DWORD index = 0; ::SetupDiEnumDeviceInfo(opened, index, &device); ++index) {
            const std::string name = PortNameOf(opened, device);
            if (name.empty())
                continue;
            const auto [identity, added] = identities.try_emplace(name);
            if (added) // a port of the ports class also registers the interface
                ReadIdentity(opened, device, identity->second);
        }
    }
    return identities;
}

} // namespace

// Each value of the key is one port: its name is the driver's device object, its data the port name. The
// device manager adds what it knows of the port's device.
PortListing ListPresentPorts(const DeviceTree& /*tree*/) {
    PortListing listing;
    std::vector<PresentPort>& ports = listing.ports;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                        &opened) != ERROR_SUCCESS)
        return listing; // no port was ever present: the system makes the key with the first one
    const Key key(opened);
    const std::map<std::string, PresentPort> identities = PortIdentities();
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD valueNameLength = 256;
        wchar_t data[256];
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = ::RegEnumValueW(key.get(), index, valueName, &valueNameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue; // a value too long for a port name is not one
        // The data need not end in a terminator: count the characters stored.
        int length = static_cast<int>(dataBytes / sizeof(wchar_t));
        while (length > 0 && data[length - 1] == L'\0')
            --length;
        const std::string name = Utf8(data, length);
        if (name.empty())
            continue;
        const auto identity = identities.find(name);
        PresentPort port = identity != identities.end() ? identity->second : PresentPort{};
        port.device = name;
        port.family = "COM";
        port.number = ComNumber(name);
        if (port.description.empty())
            port.description =
                Utf8(valueName, static_cast<int>(valueNameLength)); // \Device\Serial0, \Device\VCP0
        ports.push_back(std::move(port));
    }
    return listing;
}
