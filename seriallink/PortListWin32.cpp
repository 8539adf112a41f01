#include "seriallink/PortList.h"

#include <windows.h>
// The GUIDs of the device classes are defined, not only declared, in this file.
#include <initguid.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

#include <map>
#include <memory>
#include <utility>

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

std::string RegistryProperty(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[256] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(list, &device, property, nullptr, reinterpret_cast<BYTE*>(text),
                                             sizeof text - sizeof(wchar_t), nullptr))
        return {};
    return Utf8(text);
}

std::string PortNameOf(HDEVINFO list, SP_DEVINFO_DATA& device) {
    const HKEY opened = ::SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (opened == INVALID_HANDLE_VALUE)
        return {};
    const Key key(opened);
    wchar_t name[64] = {};
    DWORD bytes = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.get(), L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return Utf8(name);
}

// The four hex digits after `tag` in a device instance id ("USB\VID_0403&PID_6001\A5XK3RJT").
std::string IdAfter(const std::string& instance, const char* tag) {
    const std::size_t at = instance.find(tag);
    return at == std::string::npos || instance.size() < at + 8 ? std::string() : instance.substr(at + 4, 4);
}

// What the system records of a port's device: its friendly name ("USB Serial Port (COM3)"), maker and,
// for a USB device, its ids and the serial number, which is the last part of the instance id unless the
// system made that part up itself (then it holds '&').
void ReadIdentity(HDEVINFO list, SP_DEVINFO_DATA& device, PresentPort& port) {
    port.description = RegistryProperty(list, device, SPDRP_FRIENDLYNAME);
    port.manufacturer = RegistryProperty(list, device, SPDRP_MFG);
    wchar_t instance[MAX_DEVICE_ID_LEN] = {};
    if (!::SetupDiGetDeviceInstanceIdW(list, &device, instance, MAX_DEVICE_ID_LEN, nullptr))
        return;
    const std::string id = Utf8(instance);
    port.vendorId = IdAfter(id, "VID_");
    port.productId = IdAfter(id, "PID_");
    if (!port.vendorId.empty())
        port.kind = PortKind::Usb;
    const std::size_t last = id.rfind('\\');
    if (id.rfind("USB\\", 0) == 0 && last != std::string::npos && id.find('&', last) == std::string::npos)
        port.serialNumber = id.substr(last + 1);
}

// The identity of every port device of the ports and modem classes present, by port name.
std::map<std::string, PresentPort> PortIdentities() {
    std::map<std::string, PresentPort> identities;
    for (const GUID* deviceClass : {&GUID_DEVCLASS_PORTS, &GUID_DEVCLASS_MODEM}) {
        const HDEVINFO opened = ::SetupDiGetClassDevsW(deviceClass, nullptr, nullptr, DIGCF_PRESENT);
        if (opened == INVALID_HANDLE_VALUE)
            continue;
        const std::unique_ptr<void, DeviceListCloser> list(opened);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        for (DWORD index = 0; ::SetupDiEnumDeviceInfo(opened, index, &device); ++index) {
            const std::string name = PortNameOf(opened, device);
            if (!name.empty())
                ReadIdentity(opened, device, identities[name]);
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
