#pragma once

#include "seriallink/serial/PortList.h"

#include <optional>
#include <string>
#include <vector>

// What the tooltips and the port listing say about one device.

// The port `device` is: the listed one of that name or that a link such as a by-id name leads to; outside
// Windows an unlisted device that exists (a pseudo-terminal) with its access facts. Nothing when the
// system does not have it.
std::optional<PresentPort> FindDevice(const PortListing& present, const std::string& device);

// The adapter's identity, which tells two adapters apart: "FT4232H Quad HS USB, FTDI, USB 0403:6011,
// serial FT5X2ABC, interface 02". Empty for a port that says nothing of itself.
std::string AdapterIdentity(const PresentPort& port);

// One sentence each for what a user of `port` needs to know beyond its identity: the name that stays
// with the adapter, that it is the system console, that this user may not open it and the fix.
std::vector<std::string> PortNotes(const PresentPort& port);

// "/dev/ttyS0 is the system console and is not counted: name it with TALVOR_COMn to use it." for each
// console port of `present` other than `device`.
std::vector<std::string> UncountedConsoles(const PortListing& present, const std::string& device, int number);
