#include "cli/commission/CommissionReport.h"

#include "cli/commission/Csv.h"
#include "cli/commission/Plan.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr std::array Outcomes{std::pair{RowOutcome::Commissioned, "commissioned"},
                              std::pair{RowOutcome::Unchanged, "unchanged"},
                              std::pair{RowOutcome::Failed, "failed"},
                              std::pair{RowOutcome::Refused, "refused"},
                              std::pair{RowOutcome::Skipped, "skipped"}};

// The report's fields as its CSV header and JSON keys name them; the row's own cells keep the plan's
// column names inside `values` and `changed`.
const QStringList& Fields() {
    static const QStringList fields{"line",        "name",    "port",    "device",   "status-id", "outcome",
                                    "exit-status", "message", "changed", "duration", "values",    "finished"};
    return fields;
}

std::optional<RowOutcome> OutcomeNamed(const QString& name) {
    for (const auto& [outcome, text] : Outcomes)
        if (name == QLatin1String(text))
            return outcome;
    return std::nullopt;
}

std::vector<FieldChange> ChangesFromText(const QString& text) {
    std::vector<FieldChange> changes;
    for (const QString& part : text.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const QStringList words = part.split(' ');
        changes.push_back({words.value(0), words.value(1), words.value(3)});
    }
    return changes;
}

qsizetype ColumnIndex(const QString& column) {
    const qsizetype index = PlanColumns().indexOf(column);
    return index < 0 ? PlanColumns().size() : index;
}

// {"ip": {"held": "192.168.1.1", "now": "10.0.0.5"}}
QJsonObject ChangesJson(const std::vector<FieldChange>& changes) {
    QJsonObject json;
    for (const FieldChange& change : changes)
        json.insert(change.field, QJsonObject{{"held", change.held}, {"now", change.now}});
    return json;
}

// JSON keeps no order: the fields come back in the plan's column order, as they were written.
std::vector<FieldChange> ChangesFromJson(const QJsonObject& json) {
    std::vector<FieldChange> changes;
    for (auto field = json.begin(); field != json.end(); ++field) {
        const QJsonObject change = field.value().toObject();
        changes.push_back({field.key(), change.value("held").toString(), change.value("now").toString()});
    }
    std::stable_sort(changes.begin(), changes.end(), [](const FieldChange& a, const FieldChange& b) {
        return ColumnIndex(a.field) < ColumnIndex(b.field);
    });
    return changes;
}

// "ip=10.0.0.5 mask=255.0.0.0" from {"ip": "10.0.0.5", "mask": "255.0.0.0"}, in the plan's column order.
QString ValuesFromJson(const QJsonObject& json) {
    QStringList columns = json.keys();
    std::stable_sort(columns.begin(), columns.end(),
                     [](const QString& a, const QString& b) { return ColumnIndex(a) < ColumnIndex(b); });
    QStringList parts;
    for (const QString& column : columns)
        parts << column + '=' + json.value(column).toString();
    return parts.join(' ');
}

// A spreadsheet takes a cell beginning with one of these for a formula.
bool FormulaLike(QStringView text) {
    while (text.startsWith('\''))
        text = text.mid(1);
    return !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front());
}

// A leading ' makes a spreadsheet show the cell as text and is not shown; one ' is added to every cell
// that is, or after its leading 's looks like, a formula, and taken off again when the report is read.
QString AsText(const QString& text) {
    return FormulaLike(text) ? '\'' + text : text;
}

QString FromText(const QString& cell) {
    return cell.startsWith('\'') && FormulaLike(cell) ? cell.mid(1) : cell;
}

QString CsvCell(const QString& text, QChar separator) {
    return CsvQuoted(AsText(text), separator);
}

QStringList CellsOf(const RowRecord& record) {
    return {QString::number(record.line),
            record.name,
            record.port,
            record.device,
            record.statusId,
            OutcomeName(record.outcome),
            QString::number(record.exitStatus),
            record.message,
            ChangesText(record.changed),
            QString::number(record.seconds, 'f', 3),
            record.values,
            record.finished};
}

// The record of a CSV line's cells, each as the report wrote it.
std::optional<RowRecord> RecordOf(QStringList cells) {
    if (cells.size() != Fields().size())
        return std::nullopt;
    std::transform(cells.begin(), cells.end(), cells.begin(), FromText);
    RowRecord record;
    bool lineNumber = false, status = false, duration = false;
    record.line = cells[0].toInt(&lineNumber);
    record.name = cells[1];
    record.port = cells[2];
    record.device = cells[3];
    record.statusId = cells[4];
    const std::optional<RowOutcome> outcome = OutcomeNamed(cells[5]);
    record.exitStatus = cells[6].toInt(&status);
    record.message = cells[7];
    record.changed = ChangesFromText(cells[8]);
    record.seconds = cells[9].toDouble(&duration);
    record.values = cells[10];
    record.finished = cells[11];
    if (!lineNumber || !status || !duration || !outcome)
        return std::nullopt;
    record.outcome = *outcome;
    return record;
}

std::optional<RowRecord> RecordOf(const QJsonObject& json) {
    QStringList cells; // as a CSV line holds them
    for (qsizetype field = 0; field < Fields().size(); ++field) {
        const QJsonValue value = json.value(Fields()[field]);
        if (value.isDouble())
            cells << QString::number(value.toDouble(), 'f', Fields()[field] == "duration" ? 3 : 0);
        else if (value.isString())
            cells << AsText(value.toString());
        else if (value.isObject()) // values and changed, taken below
            cells << QString();
        else
            return std::nullopt;
    }
    std::optional<RowRecord> record = RecordOf(cells);
    if (const QJsonValue values = json.value("values"); record && values.isObject())
        record->values = ValuesFromJson(values.toObject());
    if (const QJsonValue changed = json.value("changed"); record && changed.isObject())
        record->changed = ChangesFromJson(changed.toObject());
    return record;
}

} // namespace

QString ChangesText(const std::vector<FieldChange>& changes) {
    QStringList parts;
    for (const FieldChange& change : changes)
        parts << QStringLiteral("%1 %2 -> %3").arg(change.field, change.held, change.now);
    return parts.join(QStringLiteral(", "));
}

QString OutcomeName(RowOutcome outcome) {
    for (const auto& [each, text] : Outcomes)
        if (each == outcome)
            return QString::fromLatin1(text);
    return {};
}

QString RecordLine(const RowRecord& record) {
    QString line = QStringLiteral("%1 on %2: %3").arg(record.name, record.port, OutcomeName(record.outcome));
    if (record.exitStatus != 0)
        line += QStringLiteral(" (exit status %1)").arg(record.exitStatus);
    if (!record.changed.empty())
        line += QStringLiteral(": ") + ChangesText(record.changed);
    // The link tells each message on a line of its own; they are indented under the row's line.
    if (!record.message.isEmpty())
        line += QStringLiteral(": ") + record.message.split('\n').join(QStringLiteral("\n    "));
    return line;
}

QByteArray ReportCsvHeader(QChar separator) {
    return Fields().join(separator).toUtf8() + '\n';
}

std::optional<QChar> ReportCsvSeparator(const QByteArray& bytes) {
    const QString header = QString::fromUtf8(bytes.left(bytes.indexOf('\n'))).trimmed();
    for (const QChar separator : {QChar(','), QChar(';')})
        if (header == Fields().join(separator))
            return separator;
    return std::nullopt;
}

QByteArray ReportCsvLine(const RowRecord& record, QChar separator) {
    QStringList cells = CellsOf(record);
    std::transform(cells.begin(), cells.end(), cells.begin(),
                   [separator](const QString& cell) { return CsvCell(cell, separator); });
    return cells.join(separator).toUtf8() + '\n';
}

QJsonObject ValuesJson(const QString& values) {
    QJsonObject json;
    for (const QString& part : values.split(' ', Qt::SkipEmptyParts))
        json.insert(part.section('=', 0, 0), part.section('=', 1));
    return json;
}

QJsonObject RecordJson(const RowRecord& record) {
    return {{"line", record.line},
            {"name", record.name},
            {"port", record.port},
            {"device", record.device},
            {"status-id", record.statusId},
            {"outcome", OutcomeName(record.outcome)},
            {"exit-status", record.exitStatus},
            {"message", record.message},
            {"changed", ChangesJson(record.changed)},
            {"duration", record.seconds},
            {"values", ValuesJson(record.values)},
            {"finished", record.finished}};
}

QByteArray ReportJsonLine(const RowRecord& record) {
    return QJsonDocument(RecordJson(record)).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<std::vector<RowRecord>> ReadReport(const QByteArray& whole, QString& error) {
    // A run killed while it appended leaves a last line without its line break: that row's record was
    // never finished, and the row is done again.
    const QByteArray bytes = whole.left(whole.lastIndexOf('\n') + 1);
    std::vector<RowRecord> records;
    if (bytes.trimmed().startsWith('{')) {
        int line = 0;
        for (const QByteArray& text : bytes.split('\n')) {
            ++line;
            if (text.trimmed().isEmpty())
                continue;
            const QJsonDocument document = QJsonDocument::fromJson(text);
            const std::optional<RowRecord> record =
                document.isObject() ? RecordOf(document.object()) : std::nullopt;
            if (!record) {
                error = QStringLiteral("line %1 is no record of a commissioning report").arg(line);
                return std::nullopt;
            }
            records.push_back(*record);
        }
        return records;
    }
    if (bytes.isEmpty())
        return records;
    const std::optional<QChar> separator = ReportCsvSeparator(bytes);
    if (!separator) {
        error = QStringLiteral("it does not begin with the header of a commissioning report");
        return std::nullopt;
    }
    std::vector<TextProblem> problems;
    const std::vector<CsvRecord> rows = ReadCsv(QString::fromUtf8(bytes), *separator, problems);
    for (auto row = rows.begin() + 1; row != rows.end(); ++row) {
        const std::optional<RowRecord> record = RecordOf(row->cells);
        if (!record) {
            error = QStringLiteral("line %1 is no record of a commissioning report").arg(row->line);
            return std::nullopt;
        }
        records.push_back(*record);
    }
    if (!problems.empty()) {
        error = QStringLiteral("line %1: %2").arg(problems.front().line).arg(problems.front().text);
        return std::nullopt;
    }
    return records;
}

RowRecord SkippedRecord(const PlanRow& row, const QString& port, const QString& message) {
    RowRecord record;
    record.line = row.line;
    record.name = row.name;
    record.port = port;
    record.outcome = RowOutcome::Skipped;
    record.message = message;
    record.values = ValuesText(row);
    return record;
}

bool DoneInReport(const std::vector<RowRecord>& report, const PlanRow& row) {
    const auto last = std::find_if(report.rbegin(), report.rend(), [&](const RowRecord& record) {
        return record.name == row.name && record.outcome != RowOutcome::Skipped;
    });
    return last != report.rend() &&
           (last->outcome == RowOutcome::Commissioned || last->outcome == RowOutcome::Unchanged) &&
           last->values == ValuesText(row);
}
