#include "seriallink/PortList.h"

#include <windows.h>

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

} // namespace

// Each value of the key is one port: its name is the driver's device object, its data the port name.
std::vector<PresentPort> ListPresentPorts() {
    std::vector<PresentPort> ports;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                        &opened) != ERROR_SUCCESS)
        return ports; // no port was ever present: the system makes the key with the first one
    const std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser> key(opened);
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
        PresentPort port;
        port.device = name;
        port.number = ComNumber(name);
        port.description =
            Utf8(valueName, static_cast<int>(valueNameLength)); // \Device\Serial0, \Device\VCP0
        ports.push_back(std::move(port));
    }
    return ports;
}
