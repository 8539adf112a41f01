#include "cli/commission/Plan.h"

#include "cli/commission/Csv.h"
#include "model/Hex.h"

#include <QStringDecoder>

#include <algorithm>
#include <map>

namespace {

// Plans hold tens of controllers; a file far beyond that is no plan.
constexpr qsizetype MaxPlanBytes = 4 * 1024 * 1024;

bool Blank(const CsvRecord& record) {
    return std::all_of(record.cells.begin(), record.cells.end(),
                       [](const QString& cell) { return cell.trimmed().isEmpty(); });
}

std::optional<bool> YesOrNo(const QString& text) {
    const QString word = text.toLower();
    if (word == "yes" || word == "y" || word == "true" || word == "1" || word == "x")
        return true;
    if (word == "no" || word == "n" || word == "false" || word == "0")
        return false;
    return std::nullopt;
}

// Fills the row from one cell; a problem for a cell that cannot be read at all.
void TakeCell(PlanRow& row, const QString& column, const QString& cell, std::vector<PlanProblem>& problems) {
    if (column == "name")
        row.name = cell;
    else if (column == "port")
        row.port = cell;
    else if (cell.isEmpty())
        return;
    else if (column == "disable-ethernet") {
        const std::optional<bool> yes = YesOrNo(cell);
        if (!yes)
            problems.push_back({row.line, QStringLiteral("disable-ethernet '%1' is neither yes nor no").arg(cell)});
        row.disableEthernet = yes.value_or(false);
    } else if (column == "status-id") {
        row.statusId = FromHex(cell.toStdString());
        if (!row.statusId || row.statusId->empty())
            problems.push_back(
                {row.line, QStringLiteral("status-id '%1' is not a status id in hex, such as 54560100").arg(cell)});
    } else {
        row.values[column] = cell;
    }
}

} // namespace

const QStringList& PlanColumns() {
    static const QStringList columns{"name",    "port", "ip",   "mask",             "gateway",
                                     "mac-id", "baud", "node", "disable-ethernet", "status-id"};
    return columns;
}

Plan ReadPlan(const QByteArray& bytes) {
    Plan plan;
    if (bytes.size() > MaxPlanBytes) {
        plan.problems.push_back({0, QStringLiteral("%1 bytes is too large for a plan").arg(bytes.size())});
        return plan;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    if (utf8.hasError()) {
        plan.problems.push_back(
            {0, QStringLiteral("the plan is not UTF-8 text; save it as CSV UTF-8 (comma or semicolon delimited)")});
        return plan;
    }
    plan.separator = CsvSeparatorOf(text);
    std::vector<CsvRecord> records = ReadCsv(text, plan.separator, plan.problems);
    std::erase_if(records, Blank);
    if (records.empty()) {
        plan.problems.push_back({0, QStringLiteral("the plan is empty: it needs a header line naming the columns, "
                                                   "name and port among them")});
        return plan;
    }

    const CsvRecord& header = records.front();
    QStringList columns;
    for (const QString& cell : header.cells) {
        const QString column = cell.trimmed().toLower();
        if (column.isEmpty() || !PlanColumns().contains(column))
            plan.problems.push_back(
                {header.line, QStringLiteral("unknown column '%1'; the columns are %2")
                                  .arg(cell.trimmed(), PlanColumns().join(", "))});
        else if (columns.contains(column))
            plan.problems.push_back({header.line, QStringLiteral("column '%1' appears twice").arg(column)});
        columns << column;
    }
    for (const char* required : {"name", "port"})
        if (!columns.contains(required))
            plan.problems.push_back({header.line, QStringLiteral("the header has no '%1' column").arg(required)});

    for (auto record = records.begin() + 1; record != records.end(); ++record) {
        PlanRow row;
        row.line = record->line;
        for (qsizetype i = 0; i < record->cells.size(); ++i) {
            const QString cell = record->cells[i].trimmed();
            if (i >= columns.size()) {
                if (!cell.isEmpty()) {
                    plan.problems.push_back({row.line, QStringLiteral("%1 cells where the header names %2")
                                                           .arg(record->cells.size())
                                                           .arg(columns.size())});
                    break;
                }
                continue;
            }
            TakeCell(row, columns[i], cell, plan.problems);
        }
        plan.rows.push_back(std::move(row));
    }
    return plan;
}

QString ValuesText(const PlanRow& row) {
    QStringList parts;
    for (const QString& column : PlanColumns()) {
        if (const auto value = row.values.find(column); value != row.values.end())
            parts << column + '=' + value->second;
        else if (column == "disable-ethernet" && row.disableEthernet)
            parts << column + QStringLiteral("=yes");
        else if (column == "status-id" && row.statusId)
            parts << column + '=' + QString::fromStdString(ToHex(*row.statusId, ""));
    }
    return parts.join(' ');
}
