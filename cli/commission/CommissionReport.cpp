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
    static const QStringList fields{"line",    "name",        "port",    "device",  "status-id",
                                    "outcome", "exit-status", "message", "changed", "duration",
                                    "values",  "finished",    "written"};
    return fields;
}

// Reports written before the written column was added have every field but that last one.
QStringList FieldsBeforeWritten() {
    return Fields().mid(0, Fields().size() - 1);
}

// The types a row writes, in the order it writes them, and what can become of a write.
const QStringList& WrittenTypes() {
    static const QStringList types{"ethernet", "devicenet", "profibus"};
    return types;
}

bool IsWrittenPair(const QString& type, const QString& word) {
    return WrittenTypes().contains(type) && (word == "yes" || word == "no" || word == "unknown");
}

// "ethernet yes, devicenet unknown"
QString WrittenText(const std::vector<std::pair<QString, QString>>& written) {
    QStringList parts;
    for (const auto& [type, word] : written)
        parts << type + ' ' + word;
    return parts.join(QStringLiteral(", "));
}

std::vector<std::pair<QString, QString>> WrittenOfText(const QString& text) {
    std::vector<std::pair<QString, QString>> written;
    for (const QString& part : text.split(QStringLiteral(", "), Qt::SkipEmptyParts))
        if (IsWrittenPair(part.section(' ', 0, 0), part.section(' ', 1)))
            written.emplace_back(part.section(' ', 0, 0), part.section(' ', 1));
    return written;
}

QJsonObject WrittenJson(const std::vector<std::pair<QString, QString>>& written) {
    QJsonObject json;
    for (const auto& [type, word] : written)
        json.insert(type, word);
    return json;
}

// JSON keeps no order: the writes come back in the order a row makes them.
std::vector<std::pair<QString, QString>> WrittenOfJson(const QJsonObject& json) {
    std::vector<std::pair<QString, QString>> written;
    for (const QString& type : WrittenTypes())
        if (IsWrittenPair(type, json.value(type).toString()))
            written.emplace_back(type, json.value(type).toString());
    return written;
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

OptionValues ValuesOfJson(const QJsonObject& json) {
    OptionValues values;
    for (auto value = json.begin(); value != json.end(); ++value)
        values[value.key()] = value.value().toString();
    return values;
}

QString Escaped(QString text, const QString& special) {
    for (qsizetype i = text.size() - 1; i >= 0; --i)
        if (special.contains(text[i]))
            text.insert(i, '\\');
    return text;
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
            ValuesText(record.values),
            record.finished,
            WrittenText(record.written)};
}

// The record of a CSV line's cells, each as the report wrote it.
std::optional<RowRecord> RecordOf(QStringList cells) {
    if (cells.size() != Fields().size() && cells.size() != FieldsBeforeWritten().size())
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
    record.values = ValuesOfText(cells[10]);
    record.finished = cells[11];
    record.written = WrittenOfText(cells.value(12));
    if (!lineNumber || !status || !duration || !outcome)
        return std::nullopt;
    record.outcome = *outcome;
    return record;
}

std::optional<RowRecord> RecordOf(const QJsonObject& json) {
    QStringList cells; // as a CSV line holds them
    for (qsizetype field = 0; field < Fields().size(); ++field) {
        const QJsonValue value = json.value(Fields()[field]);
        if (value.isUndefined() && Fields()[field] == "written")
            break; // a report from before the written field
        if (value.isDouble())
            cells << QString::number(value.toDouble(), 'f', Fields()[field] == "duration" ? 3 : 0);
        else if (value.isString())
            cells << AsText(value.toString());
        else if (value.isObject()) // values, changed and written, taken below
            cells << QString();
        else
            return std::nullopt;
    }
    std::optional<RowRecord> record = RecordOf(cells);
    if (const QJsonValue values = json.value("values"); record && values.isObject())
        record->values = ValuesOfJson(values.toObject());
    if (const QJsonValue changed = json.value("changed"); record && changed.isObject())
        record->changed = ChangesFromJson(changed.toObject());
    if (const QJsonValue written = json.value("written"); record && written.isObject())
        record->written = WrittenOfJson(written.toObject());
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
        if (header == Fields().join(separator) || header == FieldsBeforeWritten().join(separator))
            return separator;
    return std::nullopt;
}

QByteArray ReportCsvLine(const RowRecord& record, QChar separator) {
    QStringList cells = CellsOf(record);
    std::transform(cells.begin(), cells.end(), cells.begin(),
                   [separator](const QString& cell) { return CsvCell(cell, separator); });
    return cells.join(separator).toUtf8() + '\n';
}

QJsonObject ValuesJson(const OptionValues& values) {
    QJsonObject json;
    for (const auto& [column, value] : values)
        json.insert(column, value);
    return json;
}

QString ValuesText(const OptionValues& values) {
    std::vector<std::pair<QString, QString>> ordered(values.begin(), values.end());
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        return ColumnIndex(a.first) < ColumnIndex(b.first);
    });
    QStringList parts;
    for (const auto& [column, value] : ordered)
        parts << Escaped(column, QStringLiteral("\\ =")) + '=' + Escaped(value, QStringLiteral("\\ "));
    return parts.join(' ');
}

OptionValues ValuesOfText(const QString& text) {
    OptionValues values;
    QString column, value;
    bool named = false; // the part's '=' has come
    // The value before: in reports written before the escapes, a value with a blank goes on after it.
    QString* last = nullptr;
    const auto endPart = [&] {
        if (named)
            *(last = &values[column]) = value;
        else if (last && !column.isEmpty())
            *last += ' ' + column;
        column.clear();
        value.clear();
        named = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == ' ') {
            endPart();
            continue;
        }
        if (c == '=' && !named) {
            named = true;
            continue;
        }
        if (c == '\\' && ++i == text.size())
            break;
        (named ? value : column) += text[i];
    }
    endPart();
    return values;
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
            {"finished", record.finished},
            {"written", WrittenJson(record.written)}};
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

RowRecord StartedRecord(const PlanRow& row, const QString& port, const QString& device) {
    RowRecord record;
    record.line = row.line;
    record.name = row.name;
    record.port = port;
    record.device = device;
    record.values = RowValues(row);
    return record;
}

RowRecord SkippedRecord(const PlanRow& row, const QString& port, const QString& message) {
    RowRecord record = StartedRecord(row, port, QString());
    record.outcome = RowOutcome::Skipped;
    record.message = message;
    return record;
}

bool DoneInReport(const std::vector<RowRecord>& report, const PlanRow& row) {
    const auto last = std::find_if(report.rbegin(), report.rend(), [&](const RowRecord& record) {
        return record.name == row.name && record.outcome != RowOutcome::Skipped;
    });
    return last != report.rend() &&
           (last->outcome == RowOutcome::Commissioned || last->outcome == RowOutcome::Unchanged) &&
           last->values == RowValues(row);
}
