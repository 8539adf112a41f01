#pragma once

#include "cli/ExitStatus.h"
#include "cli/commission/RowChanges.h"

class CDoneRows;
struct PlanRow;
struct Run;

// The status id and each type's block the controller holds, into `held`, as a row is decided over them.
ExitStatus ReadController(const Run& run, Backup& held);

// What is to become of a row whose controller holds `held`, for the run and its preview alike: refused
// for another status id than the plan's, for a controller already done (only with `carried`, the rows
// done of a cable carried from controller to controller), or for a value it cannot take; otherwise the
// blocks to write, none when the controller holds the row's values. Prints nothing.
RowChanges DecideRow(const Run& run, const PlanRow& row, const Backup& held, const CDoneRows* carried);
