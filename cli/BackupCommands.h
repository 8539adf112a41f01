#pragma once

#include "cli/ExitStatus.h"

#include <QString>

struct Run;

// Saves what the controller holds to `path` (- for standard output).
ExitStatus BackupTo(const Run& run, const QString& path);

// Checks the backup at `path` whole and that it was saved from this controller, then gives the controller
// each type's block, clearing a type the backup does not hold; says per field what changed.
ExitStatus RestoreFrom(const Run& run, const QString& path);
