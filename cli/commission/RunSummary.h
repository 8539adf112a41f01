#pragma once

#include "cli/ExitStatus.h"
#include "cli/commission/CommissionReport.h"

#include <QStringList>

#include <vector>

// The run's exit status from the records of its rows (`planned` in all): the worst of theirs; a row
// skipped when asked or never run makes it at least ExitIncomplete, and `stopped` (an interruption, the
// --wait limit) ExitInterrupted. Rows left out as done in the resumed report count as done.
ExitStatus RunStatus(const std::vector<RowRecord>& records, std::size_t planned, bool stopped);

// The closing table: a header line, then a line per row (name, port, outcome, time, what changed, the
// message), the columns lined up.
QStringList SummaryTable(const std::vector<RowRecord>& records);
