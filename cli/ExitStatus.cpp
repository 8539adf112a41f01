#include "cli/ExitStatus.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace {

// Worst first. An interruption overrides everything; a failure to act says more than a refusal by the
// controller, which says more than refused input or a type held by none; rows left unworked rank below
// every failure, as any failure among them is what a technician must look at first.
constexpr std::array Table{
    ExitStatusMeaning{
        ExitInterrupted,
        "interrupted (Ctrl-C or SIGTERM), or commission's --wait limit reached: stopped after the "
        "exchange in progress, with what was done told"},
    ExitStatusMeaning{ExitLinkFailure,
                      "link failure: the port or the line failed, or a written block did not read back"},
    ExitStatusMeaning{ExitControllerRefused, "the controller refused the request (a status it answered)"},
    ExitStatusMeaning{ExitRefused, "refused input: the command line, a value or a file; nothing was written"},
    ExitStatusMeaning{ExitNotProgrammed, "the controller holds no attributes of that type"},
    ExitStatusMeaning{ExitIncomplete,
                      "commission: not every row was worked (skipped or stopped when asked, or the "
                      "end of the input); the rest succeeded"},
    ExitStatusMeaning{ExitSuccess, "success"},
};

std::size_t Rank(ExitStatus status) {
    const auto found = std::find_if(Table.begin(), Table.end(), [status](const ExitStatusMeaning& entry) {
        return entry.status == status;
    });
    return static_cast<std::size_t>(Table.end() - found);
}

} // namespace

std::span<const ExitStatusMeaning> ExitStatuses() {
    return Table;
}

bool IsExitStatus(int status) {
    return std::any_of(Table.begin(), Table.end(),
                       [status](const ExitStatusMeaning& entry) { return entry.status == status; });
}

ExitStatus WorseOf(ExitStatus a, ExitStatus b) {
    return Rank(a) >= Rank(b) ? a : b;
}

QString ExitStatusOrder() {
    QStringList order;
    for (const ExitStatusMeaning& entry : Table)
        order << QString::number(entry.status);
    return order.join(QStringLiteral(", "));
}
