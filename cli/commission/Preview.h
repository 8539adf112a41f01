#pragma once

#include "cli/commission/CommissionReport.h"
#include "cli/commission/CommissionSchedule.h"

#include <vector>

struct Invocation;

// commission --check: reads the controller of each group's port, over the workers and ports the run
// would use, and tells of each row what the run would change (field: held -> planned), that it is
// already done, or the refusal it would meet, deciding each row and the line as the run does. Writes
// nothing: no block, no backup, no report. `skipped` are the rows --resume leaves out. Returns the exit
// status the run would end with.
int PreviewCommission(const Invocation& invocation, const std::vector<PortRows>& groups,
                      std::vector<RowRecord> skipped, std::size_t planned, const LineRefusal& lineRefusal);
