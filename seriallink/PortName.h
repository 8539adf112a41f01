#pragma once

#include "seriallink/PortList.h"

#include <string>
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
};

// "TALVOR_COMn", the variable that names the device of COM port n.
std::string ComPortVariable(int number);

// The ports of `present` that have hardware behind them, in the order COM ports count them: built-in
// ports first, then USB adapters, then USB modems (ACM), each kind by its node number.
std::vector<PresentPort> PortsInComOrder(std::vector<PresentPort> present);

// The mapping outside Windows: COM port `number` is the device `variable` names when it is set and not
// empty, otherwise the number-th port of PortsInComOrder(present).
ComPortMapping MapComPort(int number, const char* variable, const std::vector<PresentPort>& present);

// The mapping of COM port `number` now (1 to LastAddressableComPort): COMn on Windows, elsewhere
// MapComPort over this process's environment and the ports present. The link calls it at each open,
// so that an adapter plugged in meanwhile is found.
ComPortMapping ResolveComPort(int number);
// The same with the ports present listed by the caller, for a look at many COM ports at once.
ComPortMapping ResolveComPort(int number, const std::vector<PresentPort>& present);

// The device ResolveComPort() finds; empty when no port is behind COM port `number`.
std::string ComPortDevice(int number);
