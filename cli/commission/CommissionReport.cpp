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

const QStringList& Fields() {
    static const QStringList fields{"line",    "name",     "port",    "device", "statusId", "outcome",
                                    "exitStatus", "message", "changed", "duration", "values", "finished"};
    return fields;
}

std::optional<RowOutcome> OutcomeNamed(const QString& name) {
    for (const auto& [outcome, text] : Outcomes)
        if (name == QLatin1String(text))
            return outcome;
    return std::nullopt;
}

// "ip 192.168.1.1 -> 10.0.0.5, mac-id 3 -> 12"
QString ChangesText(const std::vector<FieldChange>& changes) {
    QStringList parts;
    for (const FieldChange& change : changes)
        parts << QStringLiteral("%1 %2 -> %3").arg(change.field, change.held, change.now);
    return parts.join(QStringLiteral(", "));
}

std::vector<FieldChange> ChangesFromText(const QString& text) {
    std::vector<FieldChange> changes;
    for (const QString& part : text.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const QStringList words = part.split(' ');
        changes.push_back({words.value(0), words.value(1), words.value(3)});
    }
    return changes;
}

QString CsvCell(QString text) {
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r') &&
        text.trimmed() == text)
        return text;
    text.replace('"', QStringLiteral("\"\""));
    return '"' + text + '"';
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

std::optional<RowRecord> RecordOf(const QStringList& cells) {
    if (cells.size() != Fields().size())
        return std::nullopt;
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
    QStringList cells;
    for (const QString& field : Fields()) {
        const QJsonValue value = json.value(field);
        if (value.isDouble())
            cells << QString::number(value.toDouble(), 'f', field == "duration" ? 3 : 0);
        else if (value.isArray())
            cells << value.toVariant().toStringList().join(' ');
        else if (value.isString())
            cells << value.toString();
        else
            return std::nullopt;
    }
    return RecordOf(cells);
}

} // namespace

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
    if (!record.message.isEmpty())
        line += QStringLiteral(": ") + record.message;
    return line;
}

QByteArray ReportCsvHeader() {
    return Fields().join(',').toUtf8() + '\n';
}

QByteArray ReportCsvLine(const RowRecord& record) {
    QStringList cells = CellsOf(record);
    std::transform(cells.begin(), cells.end(), cells.begin(), CsvCell);
    return cells.join(',').toUtf8() + '\n';
}

QJsonObject RecordJson(const RowRecord& record) {
    return {{"line", record.line},
            {"name", record.name},
            {"port", record.port},
            {"device", record.device},
            {"statusId", record.statusId},
            {"outcome", OutcomeName(record.outcome)},
            {"exitStatus", record.exitStatus},
            {"message", record.message},
            {"changed", ChangesText(record.changed)},
            {"duration", record.seconds},
            {"values", record.values},
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
    std::vector<TextProblem> problems;
    const QString text = QString::fromUtf8(bytes);
    const std::vector<CsvRecord> rows = ReadCsv(text, ',', problems);
    if (bytes.isEmpty())
        return records;
    if (rows.empty() || rows.front().cells != Fields()) {
        error = QStringLiteral("it does not begin with the header of a commissioning report");
        return std::nullopt;
    }
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
