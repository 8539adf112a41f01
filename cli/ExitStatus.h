#pragma once

#include <QString>

#include <span>

// The companion's exit statuses: a script tells the class of a failure from them alone.
enum ExitStatus : int {
    ExitSuccess = 0,
    ExitRefused = 1,
    ExitLinkFailure = 2,
    ExitNotProgrammed = 3,
    ExitControllerRefused = 4,
    ExitIncomplete = 5,
    ExitInterrupted = 130,
};

struct ExitStatusMeaning {
    ExitStatus status;
    const char* meaning; // for the help and the manual page
};

// Every exit status with its meaning, worst first: a command that does several things exits with the
// worst status of its parts.
std::span<const ExitStatusMeaning> ExitStatuses();

// The exit status numbered `status`, if the companion has one so numbered.
bool IsExitStatus(int status);

ExitStatus WorseOf(ExitStatus a, ExitStatus b);

// "130, 2, 4, 1, 3, 5, 0": the statuses worst first, for texts that state the order.
QString ExitStatusOrder();
