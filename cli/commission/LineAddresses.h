#pragma once

#include "cli/BackupFile.h"

#include <QString>

#include <optional>
#include <vector>

struct PlanRow;

// A row on a port of its own and what its controller holds; `held` is nullptr where that is not known.
struct HeldRow {
    const PlanRow* row;
    const Backup* held;
};

// Why the line would end with one IP address on two controllers: one row writes the address that
// another row's controller keeps (a row that gives no IP address and keeps Ethernet on keeps the one it
// holds). Addresses the plan leaves as they are, alike on two controllers, are not the plan's doing and
// pass. Nothing when no such pair is known.
std::optional<QString> TwiceHeldAddress(const std::vector<HeldRow>& rows);
