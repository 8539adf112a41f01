#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What kind of serial port a device node is; the COM port order takes the kinds in this order.
enum class PortKind { BuiltIn, Usb, Acm };

// A serial port the machine has now.
struct PresentPort {
    std::string device; // what the link opens: /dev/ttyUSB0, or COM3 on Windows
    PortKind kind = PortKind::BuiltIn;
    int number = 0;          // the node's own number (ttyUSB<number>); orders the ports of one kind
    bool hardware = true;    // false for a built-in node the kernel made without a UART behind it
    std::string description; // product name where the device says one
    std::string manufacturer;
    std::string vendorId; // four hex digits, USB devices only
    std::string productId;
    std::string serialNumber;
};

// The serial ports present, in no particular order: on Windows the ports the system lists under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (each of kind BuiltIn, numbered as its COM name, described by its
// driver's device object); elsewhere the ttyS, ttyUSB and ttyACM nodes of the tty class.
std::vector<PresentPort> ListPresentPorts();

#ifndef _WIN32
// The listing from a tty class folder laid out as /sys/class/tty is.
std::vector<PresentPort> ListTtyClassPorts(const std::filesystem::path& ttyClass);
#endif
