#include "cli/commission/RowDecision.h"

#include "cli/ExitStatus.h"
#include "cli/Operations.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "cli/commission/DoneRows.h"
#include "cli/commission/HeldValues.h"
#include "cli/commission/Plan.h"

ExitStatus ReadController(const Run& run, Backup& held) {
    if (const RequestResult asked = StatusIdAnswered(run, &held.statusId); !asked)
        return asked.Status();
    return ReadHeldBlocks(run, held);
}

RowChanges DecideRow(const Run& run, const PlanRow& row, const Backup& held, const CDoneRows* carried) {
    const auto refused = [](const QString& message, bool controllerDone = false) {
        RowChanges changes;
        changes.refusal = RowRefusal{RowOutcome::Refused, ExitRefused, message, controllerDone};
        return changes;
    };
    if (row.statusId && *row.statusId != held.statusId)
        return refused(QStringLiteral("%1 answers status id %2, not %3 as the plan says; nothing was written.")
                           .arg(PortDescription(run.app), HexString(held.statusId), HexString(*row.statusId)));
    if (const std::optional<QString> other = NotHeldByController(row, held))
        return refused(QStringLiteral("%1 %2: not the row's controller; nothing was written.")
                           .arg(PortDescription(run.app), *other));
    // Rows that name their controllers are not told from what a finished row wrote.
    if (carried && row.heldValues.empty())
        if (const std::optional<QString> done = carried->Holder(row, held))
            return refused(QStringLiteral("%1 %2; nothing was written.").arg(PortDescription(run.app), *done), true);
    return WorkOutChanges(run, row, held);
}
