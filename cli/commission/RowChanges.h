#pragma once

#include "cli/BackupFile.h"
#include "cli/commission/CommissionReport.h"
#include "model/ByteString.h"
#include "model/NetworkType.h"

#include <QString>

#include <optional>
#include <vector>

struct PlanRow;
struct Run;

struct BlockChange {
    NetworkType type;
    ByteString block; // the empty block clears the type
};

// Why a row may not be written to the controller as it stands: nothing is written.
struct RowRefusal {
    RowOutcome outcome;
    int exitStatus;
    QString message;
    bool controllerDone = false; // the controller holds what a finished row of a carried cable wrote
};

// What a row asks of a controller that holds `before`.
struct RowChanges {
    std::vector<BlockChange> blocks; // in type order; none when the controller holds the row's values
    std::vector<FieldChange> fields; // held -> planned, by the plan's column names
    std::optional<RowRefusal> refusal;
};

// Works out every block of the row before the first is written, so that a refused value writes nothing.
// Ethernet held by none starts from the defaults, and the run's notes say so.
RowChanges WorkOutChanges(const Run& run, const PlanRow& row, const Backup& before);

// `before` with the row's blocks in place: what the controller holds once they are written.
Backup AfterChanges(const Backup& before, const std::vector<BlockChange>& blocks);

// The plan's fields whose values differ between what a controller held and what it holds (or would
// hold), by the plan's column names.
std::vector<FieldChange> ChangedFields(const Backup& before, const Backup& after);
