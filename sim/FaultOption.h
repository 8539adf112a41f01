#pragma once

#include "sim/ControllerSimulator.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A fault as the command line gives it: KIND[:VALUE][xCOUNT][@CODE], for example "status:22",
// "no-replyx3", "bad-crc@43", "late:1300". VALUE is a status (0-255), or for echo and late the time in
// milliseconds from the request to the reply (up to 60000); it defaults to 0. COUNT defaults to 1, CODE
// to every message code.
struct FaultOption {
    SimFault fault;
    std::uint32_t value = 0;
    int count = 1;
    int onlyMsgCode = -1;
};

std::optional<FaultOption> ParseFaultOption(std::string_view text);

// The KIND that names `fault` on the command line.
const char* FaultName(SimFault fault);

// Every KIND, separated by ", ".
std::string FaultKindList();
