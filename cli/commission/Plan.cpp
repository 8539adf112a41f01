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

// `size` 0 where it is only known to be above the limit (standard input).
QString TooLargeText(qint64 size) {
    const QString limit =
        QStringLiteral("%1 bytes (%2 MiB)").arg(MaxPlanBytes).arg(MaxPlanBytes / (1024 * 1024));
    return size > 0 ? QStringLiteral("the plan has %1 bytes; a plan may have at most %2").arg(size).arg(limit)
                    : QStringLiteral("the plan has more than %1, the most a plan may have").arg(limit);
}

// Windows-1252 as Windows reads it: Latin-1 but for 0x80 to 0x9F, whose five unassigned bytes stay
// the control characters of those numbers.
QString FromWindows1252(const QByteArray& bytes) {
    static constexpr char16_t high[32]{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text[i] = QChar(byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t(byte));
    }
    return text;
}

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

// A header cell as compared: spreadsheet users write "MAC ID", "mac_id" or "Mac-Id" alike.
QString Folded(QString text) {
    text.removeIf([](QChar c) { return c.isSpace() || c == '_' || c == '-'; });
    return text.toLower();
}

// The plan column a header cell names: an empty text for a column of the technician's notes, nothing for
// a column the plan does not know.
std::optional<QString> ColumnNamed(const QString& cell) {
    if (cell.startsWith('#'))
        return QString();
    // Every name a column goes by, folded, once for the process: a header may have many cells.
    static const std::map<QString, QString> columns = [] {
        // Notes columns, and the names the utility's own pages give the fields.
        std::map<QString, QString> named{{"comment", ""},
                                         {"comments", ""},
                                         {"note", ""},
                                         {"notes", ""},
                                         {"ipaddress", "ip"},
                                         {"subnetmask", "mask"},
                                         {"defaultgateway", "gateway"},
                                         {"nodeaddress", "node"},
                                         {"baudrate", "baud"}};
        for (const QString& column : PlanColumns())
            named.emplace(Folded(column), column);
        return named;
    }();
    const auto column = columns.find(Folded(cell));
    if (column != columns.end())
        return column->second;
    // "Held IP": what the row's controller holds now of a field. Looked up once, not over and over: a
    // cell of "heldheld..." must not nest a call for each "held".
    if (cell.startsWith(QLatin1String("held"), Qt::CaseInsensitive))
        if (const auto field = columns.find(Folded(cell.mid(4)));
            field != columns.end() && HeldFieldColumns().contains(field->second))
            return QStringLiteral("held-") + field->second;
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
    if (bytes.size() > MaxPlanBytes) {
        error = TooLargeText(file.isSequential() ? 0 : file.size());
        return std::nullopt;
    }
    return bytes;
}

QString PlanFileName(const QString& path) {
    return path == "-" ? QStringLiteral("standard input") : path;
}

Plan ReadPlan(const QByteArray& bytes) {
    Plan plan;
    if (bytes.size() > MaxPlanBytes) {
        plan.problems.push_back({0, TooLargeText(bytes.size())});
        return plan;
    }
    // UTF-8, or the UTF-16 a spreadsheet's "Unicode text" (tab delimited) is saved in, known by its
    // byte-order mark; the mark is dropped. Anything else is what a spreadsheet saves as plain CSV in
    // Western locales.
    const QStringConverter::Encoding encoding =
        QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError() && encoding == QStringConverter::Utf8) {
        plan.notes << QStringLiteral(
                          "line %1 is not UTF-8: the plan was read as Windows-1252; save it as CSV "
                          "UTF-8 to be sure of its accents")
                          .arg(text.left(text.indexOf(QChar::ReplacementCharacter)).count('\n') + 1);
        text = FromWindows1252(bytes);
    } else if (decoder.hasError()) {
        plan.problems.push_back(
            {0, QStringLiteral("the plan is not UTF-16 text as its byte-order mark says")});
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
    if (records.size() == 1)
        plan.problems.push_back(
            {records.front().line, QStringLiteral("the plan has a header and no rows: it names "
                                                  "no controller")});
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
