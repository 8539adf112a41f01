#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// What kind of serial port a device node is; the COM port order takes the kinds in this order.
enum class PortKind { BuiltIn, Usb, Acm };

// A serial port the machine has now.
struct PresentPort {
    std::string device; // what the link opens: /dev/ttyUSB0, or COM3 on Windows
    PortKind kind = PortKind::BuiltIn;
    std::string family;      // the node's name without its number: ttyS, ttyAMA, ttyUSB, ttyXRUSB
    int number = 0;          // the node's own number (ttyUSB<number>); orders the ports of one family
    bool hardware = true;    // false for a node the kernel made without a UART behind it
    bool console = false;    // the kernel's console runs on it
    std::string description; // product name where the device says one; Windows: the friendly name
    std::string manufacturer;
    std::string vendorId; // four hex digits, USB devices only
    std::string productId;
    std::string serialNumber;
    std::string interfaceNumber; // the adapter's interface (two hex digits), where it has several ports
    // The name no other adapter renumbers: under /dev/serial/by-id for an adapter with a serial number,
    // under /dev/serial/by-path, which follows the USB socket, for one without.
    std::string stableName;
    int accessError = 0; // why this process may not open it (errno), 0 when it may
    std::string group;   // the group owning the device node
};

// The serial ports present, in no particular order. A listing that failed part-way is no listing:
// counting what it found would move every port after the gap onto another COM number.
struct PortListing {
    std::vector<PresentPort> ports;
    std::error_code error; // set when the ports could not all be listed
};

// Where the kernel shows its devices; tests point both at a tree of their own.
struct DeviceTree {
    std::filesystem::path sys{"/sys"};
    std::filesystem::path dev{"/dev"};
};

// On Windows the ports the system lists under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, numbered as their COM
// names, with the friendly name and adapter identity of each one's device where the system records them
// (of kind Usb where it records USB ids, BuiltIn otherwise); elsewhere every tty of `tree` that a serial
// driver registered: a serial-core port (kind BuiltIn, placeholders without a UART marked as no hardware) or
// a port of a USB serial or modem (ACM) driver.
PortListing ListPresentPorts(const DeviceTree& tree = {});
