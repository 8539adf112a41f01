#pragma once

#include "seriallink/serial/PortList.h"

#include <string>
#include <system_error>
#include <vector>

// The COM ports the utility's list offers.
inline constexpr int FirstComPort = 1;
inline constexpr int LastComPort = 8;
// The highest COM port number a port name may carry (Windows numbers USB adapters far past 8).
inline constexpr int LastAddressableComPort = 256;

// Where the device behind a COM port comes from.
enum class ComPortSource {
    Variable, // the environment variable TALVOR_COMn names it
    Present,  // the n-th serial port present
    System,   // Windows: COMn is the system's own name
    Nothing,  // no port is behind it
};

struct ComPortMapping {
    std::string device; // empty when source is Nothing
    ComPortSource source = ComPortSource::Nothing;
    std::error_code
        listError; // why the ports present could not be counted, when that is why source is Nothing
};

// "TALVOR_COMn", the variable that names the device of COM port n.
std::string ComPortVariable(int number);

// A device as a user writes it, as the link opens it: blanks around it dropped, a bare node name
// (ttyUSB0) taken from /dev rather than from the current folder. Empty when nothing is left.
std::string DeviceNamed(const std::string& name);

// The ports of `present` that COM ports count, in their order: built-in UARTs first (ttyS, then other
// on-board families such as ttyAMA or ttymxc by name), then USB serial adapters (ttyUSB, then vendor
// drivers' families such as ttyXRUSB), then USB modems (ttyACM), each family by node number.
// Placeholders without a UART and the kernel's console are left out.
std::vector<PresentPort> PortsInComOrder(std::vector<PresentPort> present);

// The mapping outside Windows: COM port `number` is the device `variable` names (DeviceNamed) when it
// names one, otherwise the number-th port of PortsInComOrder(present). A listing that failed maps nothing.
ComPortMapping MapComPort(int number, const char* variable, const PortListing& present);

// The mapping of COM port `number` (1 to LastAddressableComPort): COMn on Windows, elsewhere MapComPort
// over this process's environment and `present`.
ComPortMapping ResolveComPort(int number, const PortListing& present);
// The same over the ports present now: the link calls it at each open, so that an adapter plugged in
// meanwhile is found.
ComPortMapping ResolveComPort(int number);
