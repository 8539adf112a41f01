#include "cli/commission/HeldValues.h"

#include "cli/WriteValues.h"
#include "cli/commission/Plan.h"
#include "cli/commission/RowChanges.h"

#include <algorithm>

namespace {

// The plan's fields the controller holds, as its cells would give them.
OptionValues FieldsHeld(const Backup& held) {
    OptionValues fields;
    for (const FieldChange& field : ChangedFields(Backup{}, held))
        fields[field.field] = field.now;
    return fields;
}

QStringList Differences(const PlanRow& row, const OptionValues& fields) {
    QStringList differences;
    for (const auto& [column, expected] : row.heldValues) {
        const auto held = fields.find(column);
        if (held == fields.end() || !SameOptionValue(column, held->second, expected))
            differences << QStringLiteral("holds %1 %2, not %3 as held-%1 says")
                               .arg(column, held == fields.end() ? QStringLiteral("none") : held->second,
                                    expected);
    }
    return differences;
}

} // namespace

std::optional<QString> NotHeldByController(const PlanRow& row, const Backup& held) {
    const QStringList differences = Differences(row, FieldsHeld(held));
    if (differences.isEmpty())
        return std::nullopt;
    return differences.join(QStringLiteral(", "));
}

ArrivalMatch MatchArrival(const std::vector<const PlanRow*>& waiting, const Backup& held) {
    const OptionValues fields = FieldsHeld(held);
    ArrivalMatch match;
    QStringList named;
    for (const QString& column : HeldFieldColumns())
        if (std::any_of(waiting.begin(), waiting.end(),
                        [&](const PlanRow* row) { return row->heldValues.count(column); }))
            named << QStringLiteral("%1 %2").arg(column, fields.count(column) ? fields.at(column)
                                                                              : QStringLiteral("none"));
    match.held = named.join(QStringLiteral(", "));
    const auto holds = [&](const PlanRow* row) {
        return !row->heldValues.empty() && Differences(*row, fields).isEmpty();
    };
    auto found = std::find_if(waiting.begin(), waiting.end(), holds);
    if (found == waiting.end())
        found = std::find_if(waiting.begin(), waiting.end(),
                             [](const PlanRow* row) { return row->heldValues.empty(); });
    if (found != waiting.end())
        match.row = static_cast<std::size_t>(found - waiting.begin());
    return match;
}
