#include "cli/commission/Plan.h"

#include "cli/commission/Csv.h"
#include "model/Hex.h"

#include <QFile>
#include <QStringDecoder>

#include <cstdio>

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
    if (column.isEmpty())
        return;
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
    } else if (column.startsWith(QLatin1String("held-"))) {
        row.heldValues[column.mid(5)] = cell;
    } else {
        row.values[column] = cell;
    }
}

// The plan column a header cell names: an empty text for a column of the technician's notes, nothing for
// a column the plan does not know. Spreadsheet users write "MAC ID", "mac_id" or "Mac-Id" alike.
std::optional<QString> ColumnNamed(const QString& cell) {
    if (cell.startsWith('#'))
        return QString();
    const auto folded = [](QString text) {
        text.removeIf([](QChar c) { return c.isSpace() || c == '_' || c == '-'; });
        return text.toLower();
    };
    static const QStringList notes{"comment", "comments", "note", "notes"};
    if (notes.contains(folded(cell)))
        return QString();
    for (const QString& column : PlanColumns())
        if (folded(column) == folded(cell))
            return column;
    // "Held IP": what the row's controller holds now of a field.
    if (cell.startsWith(QLatin1String("held"), Qt::CaseInsensitive) && cell.size() > 4)
        if (const std::optional<QString> field = ColumnNamed(cell.mid(4));
            field && HeldFieldColumns().contains(*field))
            return QStringLiteral("held-") + *field;
    return std::nullopt;
}

// The header's columns in order; an empty text for a column passed over.
QStringList ReadHeader(const CsvRecord& header, std::vector<PlanProblem>& problems) {
    QStringList cells = header.cells;
    // Spreadsheets save empty header cells for columns that were only formatted.
    while (!cells.isEmpty() && cells.last().trimmed().isEmpty())
        cells.removeLast();
    QStringList columns;
    for (const QString& cell : cells) {
        const std::optional<QString> column = ColumnNamed(cell.trimmed());
        if (cell.trimmed().isEmpty())
            problems.push_back({header.line, QStringLiteral("column %1 has no name").arg(columns.size() + 1)});
        else if (!column)
            problems.push_back({header.line, QStringLiteral("unknown column '%1'; the columns are %2")
                                                 .arg(cell.trimmed(), PlanColumns().join(", "))});
        else if (!column->isEmpty() && columns.contains(*column))
            problems.push_back({header.line, QStringLiteral("column '%1' appears twice").arg(*column)});
        columns << column.value_or(QString());
    }
    for (const char* required : {"name", "port"})
        if (!columns.contains(required))
            problems.push_back({header.line, QStringLiteral("the header has no '%1' column").arg(required)});
    return columns;
}

} // namespace

const QStringList& PlanColumns() {
    static const QStringList columns{"name",    "port", "ip",   "mask",             "gateway",
                                     "mac-id", "baud", "node", "disable-ethernet", "status-id"};
    return columns;
}

const QStringList& HeldFieldColumns() {
    static const QStringList columns{"ip", "mask", "gateway", "mac-id", "baud", "node"};
    return columns;
}

std::optional<QByteArray> ReadPlanFile(const QString& path, QString& error) {
    QFile file(path);
    if (!(path == "-" ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly))) {
        error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes;
    for (QByteArray chunk; bytes.size() <= MaxPlanBytes && !(chunk = file.read(64 * 1024)).isEmpty();)
        bytes += chunk;
    return bytes;
}

QString PlanFileName(const QString& path) {
    return path == "-" ? QStringLiteral("standard input") : path;
}

Plan ReadPlan(const QByteArray& bytes) {
    Plan plan;
    if (bytes.size() > MaxPlanBytes) {
        plan.problems.push_back({0, QStringLiteral("%1 bytes is too large for a plan").arg(bytes.size())});
        return plan;
    }
    // UTF-8, or the UTF-16 a spreadsheet's "Unicode text" (tab delimited) is saved in, known by its
    // byte-order mark; the mark is dropped.
    QStringDecoder decoder(QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8),
                           QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        plan.problems.push_back({0, QStringLiteral("the plan is not UTF-8 text; save it as CSV UTF-8 (comma, "
                                                   "semicolon or tab delimited)")});
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

    const QStringList columns = ReadHeader(records.front(), plan.problems);
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

OptionValues RowValues(const PlanRow& row) {
    OptionValues values = row.values;
    if (row.disableEthernet)
        values[QStringLiteral("disable-ethernet")] = QStringLiteral("yes");
    if (row.statusId)
        values[QStringLiteral("status-id")] = QString::fromStdString(ToHex(*row.statusId, ""));
    return values;
}
