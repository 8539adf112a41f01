#pragma once

#include "cli/BackupFile.h"
#include "cli/commission/CommissionSchedule.h"

#include <QString>

#include <optional>
#include <vector>

struct PlanRow;

// Which controller a row is, by its held- cells: what that controller holds now. Identical controllers
// answer one status id, so on a carried cable these are all that tell them apart.

// Why a controller holding `held` is not `row`'s: "holds ip 10.0.0.9, not 10.0.0.5 as held-ip says".
// Nothing when it holds every held- value of the row, or the row has none.
std::optional<QString> NotHeldByController(const PlanRow& row, const Backup& held);

// The row among `waiting` whose controller holds `held`: the one whose held- values it holds, else the
// first without held- values. Nothing when none is.
ArrivalMatch MatchArrival(const std::vector<const PlanRow*>& waiting, const Backup& held);
