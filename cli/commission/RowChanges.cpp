#include "cli/commission/RowChanges.h"

#include "cli/AttributeText.h"
#include "cli/Operations.h"
#include "cli/Output.h"
#include "cli/commission/Plan.h"
#include "model/NetAttributes.h"
#include "res/AttributeMessages.h"

#include <QJsonObject>

#include <array>
#include <utility>

namespace {

constexpr std::array WrittenTypes{NetworkEthernet, NetworkDeviceNet, NetworkProfibus};

// The record's fields a plan sets, by their JSON keys and the plan's column names.
constexpr std::array PlanFields{std::pair{"ipAddress", "ip"},  std::pair{"subnetMask", "mask"},
                                std::pair{"gateway", "gateway"}, std::pair{"macId", "mac-id"},
                                std::pair{"baudRate", "baud"},   std::pair{"nodeAddress", "node"}};

QJsonObject FieldsOf(NetworkType type, const std::optional<ByteString>& block) {
    if (!block)
        return {};
    CNetAttributes record(type);
    record.ParseBlock(*block);
    return RecordJson(record, *block);
}

QString ValueText(const QJsonValue& value) {
    if (value.isUndefined())
        return QStringLiteral("none");
    if (value.isNull())
        return QStringLiteral("unknown");
    return value.isString() ? value.toString() : QString::number(value.toInt());
}

} // namespace

RowChanges WorkOutChanges(const Run& run, const PlanRow& row, const Backup& before) {
    RowChanges changes;
    for (const NetworkType type : WrittenTypes) {
        const std::optional<ByteString>& held = before.blocks[type - 1];
        if (type == NetworkEthernet && row.disableEthernet) {
            if (held)
                changes.blocks.push_back({type, EmptyAttributeBlock()});
            continue;
        }
        if (!row.parsed.Touches(type))
            continue;
        CNetAttributes wanted(type);
        QStringList set;
        std::optional<ValueRefusal> refusal;
        const ExitStatus status = ApplyOverHeld(run, held, row.parsed, wanted, set, refusal);
        if (status == ExitNotProgrammed) {
            changes.refusal = {RowOutcome::Failed, ExitNotProgrammed,
                               TerminalText(QString::fromUtf8(AttributeMessagesFor(type).notProgrammed))};
            return changes;
        }
        if (status != ExitSuccess) {
            changes.refusal = {RowOutcome::Refused, ExitRefused, refusal->text + QStringLiteral("; nothing was written.")};
            return changes;
        }
        const ByteString block = wanted.BuildBlock();
        if (!held || *held != block)
            changes.blocks.push_back({type, block});
    }
    changes.fields = ChangedFields(before, AfterChanges(before, changes.blocks));
    return changes;
}

Backup AfterChanges(const Backup& before, const std::vector<BlockChange>& blocks) {
    Backup after = before;
    for (const BlockChange& change : blocks)
        after.blocks[change.type - 1] =
            change.block == EmptyAttributeBlock() ? std::nullopt : std::optional<ByteString>(change.block);
    return after;
}

std::vector<FieldChange> ChangedFields(const Backup& before, const Backup& after) {
    std::vector<FieldChange> fields;
    for (const NetworkType type : WrittenTypes) {
        const std::optional<ByteString>& held = before.blocks[type - 1];
        const std::optional<ByteString>& now = after.blocks[type - 1];
        if (type == NetworkEthernet && held && !now) {
            fields.push_back({QStringLiteral("disable-ethernet"), QStringLiteral("no"), QStringLiteral("yes")});
            continue;
        }
        const QJsonObject heldFields = FieldsOf(type, held);
        const QJsonObject nowFields = FieldsOf(type, now);
        for (const auto& [key, column] : PlanFields) {
            const QString name = QString::fromLatin1(key);
            if (!heldFields.contains(name) && !nowFields.contains(name))
                continue;
            if (heldFields.value(name) != nowFields.value(name))
                fields.push_back({QString::fromLatin1(column), ValueText(heldFields.value(name)),
                                  ValueText(nowFields.value(name))});
        }
    }
    return fields;
}
