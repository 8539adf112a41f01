#pragma once

#include "seriallink/serial/PortList.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

// A machine's /sys and /dev as the kernel and udev lay them out, in a folder of its own: class entries
// are links into the devices tree, serial-core ports carry `type` and `console`, USB ports hang off
// interface folders below their device. It holds
//   ttyS0      8250 UART, the kernel's console      ttyS1   8250 placeholder (type 0)
//   ttyS2      8250 UART                            ttyAMA0 on-board UART of an ARM board
//   ttyUSB9-12 a four-port adapter, interfaces 00 to 03, each with a by-id name
//   ttyXRUSB0  a one-port adapter on a vendor driver, without a serial number
//   ttyACM0    a USB modem (ACM) with a by-id name
// Each USB port has a by-path name too (ttyXRUSB0 two, as newer udev makes), and /dev/serial/by-id holds
// an entry that is no link.
//   tty0, console, ptmx: virtual ttys
class FakeDeviceTree {
public:
    // `consoleAttribute`: whether serial-core ports say `console` themselves, as newer kernels do.
    explicit FakeDeviceTree(bool consoleAttribute = true)
        : m_root(std::filesystem::temp_directory_path() /
                 ("talvor-devices-" + std::to_string(::getpid()) + "-" + std::to_string(++Count()))) {
        std::filesystem::remove_all(m_root);
        const Path platform = Sys() / "devices/platform";
        UartNode(platform / "serial8250", "ttyS0", "4", consoleAttribute ? "Y" : "");
        UartNode(platform / "serial8250", "ttyS1", "0", consoleAttribute ? "N" : "");
        UartNode(platform / "serial8250", "ttyS2", "4", consoleAttribute ? "N" : "");
        UartNode(platform / "soc/fe201000.serial", "ttyAMA0", "95", consoleAttribute ? "N" : "");
        const Path quad = UsbDevice("pci0000:00/0000:00:14.0/usb1/1-2", "0403", "6011", "Quad RS232-HS",
                                    "FTDI", "FT5X2ABC");
        for (int interface = 0; interface < 4; ++interface) {
            const std::string node = "ttyUSB" + std::to_string(9 + interface);
            const std::string number = "0" + std::to_string(interface);
            const Path port =
                UsbInterface(quad, "1-2:1." + std::to_string(interface), number, "ftdi_sio") / node;
            Link(Sys() / "bus/usb-serial", port / "subsystem");
            TtyNode(port / "tty", node, port);
            ById("usb-FTDI_Quad_RS232-HS_FT5X2ABC-if" + number + "-port0", node);
            ByPath("pci-0000:00:14.0-usb-0:2:1." + std::to_string(interface) + "-port0", node);
        }
        const Path xr = UsbDevice("pci0000:00/0000:00:14.0/usb1/1-3", "04e2", "1410", "XR21V1410", "", "");
        const Path xrInterface = UsbInterface(xr, "1-3:1.0", "00", "xr_usb_serial_common");
        TtyNode(xrInterface / "tty", "ttyXRUSB0", xrInterface);
        ById("usb-04e2_XR21V1410-if00", "ttyXRUSB0"); // a name that every adapter of its kind claims
        ByPath("pci-0000:00:14.0-usbv2-0:3:1.0", "ttyXRUSB0");
        ByPath("pci-0000:00:14.0-usb-0:3:1.0", "ttyXRUSB0");
        const Path modem =
            UsbDevice("pci0000:00/0000:00:14.0/usb1/1-4", "2341", "0043", "Uno", "Arduino", "7523733353635");
        const Path modemInterface = UsbInterface(modem, "1-4:1.0", "00", "cdc_acm");
        TtyNode(modemInterface / "tty", "ttyACM0", modemInterface);
        ById("usb-Arduino_Uno_7523733353635-if00", "ttyACM0");
        ByPath("pci-0000:00:14.0-usb-0:4:1.0", "ttyACM0");
        Write(Dev() / "serial/by-id/usb-unreadable-if00", "");
        for (const char* name : {"tty0", "console", "ptmx"})
            TtyNode(Sys() / "devices/virtual/tty", name, {});
        Write(Sys() / "devices/virtual/tty/console/active", "tty0 ttyS0");
    }
    ~FakeDeviceTree() { std::filesystem::remove_all(m_root); }
    FakeDeviceTree(const FakeDeviceTree&) = delete;
    FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;

    DeviceTree Tree() const { return {Sys(), Dev()}; }
    std::filesystem::path Sys() const { return m_root / "sys"; }
    std::filesystem::path Dev() const { return m_root / "dev"; }
    // What the listing calls a node of this tree: <dev>/ttyUSB9.
    std::string Device(const std::string& node) const { return (Dev() / node).string(); }

private:
    using Path = std::filesystem::path;

    static int& Count() {
        static int count = 0;
        return count;
    }

    static void Write(const Path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text << '\n';
    }

    static void Link(const Path& target, const Path& link) {
        std::filesystem::create_directories(target);
        std::filesystem::create_directories(link.parent_path());
        std::filesystem::create_symlink(std::filesystem::relative(target, link.parent_path()), link);
    }

    // The node's folder under `parent`, its class entry, a `device` link where a driver claimed it and
    // the node udev makes under /dev.
    void TtyNode(const Path& parent, const std::string& name, const Path& device) {
        const Path node = parent / name;
        std::filesystem::create_directories(node);
        Write(node / "dev", "4:64");
        Link(node, Sys() / "class/tty" / name);
        if (!device.empty()) {
            Link(device, node / "device");
            Write(Dev() / name, "");
        }
    }

    void UartNode(const Path& platformDevice, const std::string& name, const std::string& type,
                  const std::string& console) {
        TtyNode(platformDevice / "tty", name, platformDevice);
        Write(platformDevice / "tty" / name / "type", type);
        if (!console.empty())
            Write(platformDevice / "tty" / name / "console", console);
    }

    Path UsbDevice(const std::string& path, const std::string& vendor, const std::string& product,
                   const std::string& name, const std::string& manufacturer, const std::string& serial) {
        const Path device = Sys() / "devices" / path;
        Write(device / "idVendor", vendor);
        Write(device / "idProduct", product);
        Write(device / "product", name);
        if (!manufacturer.empty())
            Write(device / "manufacturer", manufacturer);
        if (!serial.empty())
            Write(device / "serial", serial);
        return device;
    }

    Path UsbInterface(const Path& device, const std::string& name, const std::string& number,
                      const std::string& driver) {
        const Path interface = device / name;
        Write(interface / "bInterfaceNumber", number);
        Link(Sys() / "bus/usb/drivers" / driver, interface / "driver");
        Link(Sys() / "bus/usb", interface / "subsystem");
        return interface;
    }

    void ById(const std::string& name, const std::string& node) { SerialLink("by-id", name, node); }
    void ByPath(const std::string& name, const std::string& node) { SerialLink("by-path", name, node); }
    void SerialLink(const std::string& folder, const std::string& name, const std::string& node) {
        std::filesystem::create_directories(Dev() / "serial" / folder);
        std::filesystem::create_symlink("../../" + node, Dev() / "serial" / folder / name);
    }

    Path m_root;
};
