#include "cli/commission/Csv.h"

#include <array>

QChar CsvSeparatorOf(QStringView text) {
    // In order of preference where the first line has as many of each.
    const std::array<QChar, 3> separators{',', ';', '\t'};
    std::array<qsizetype, 3> counts{};
    bool quoted = false;
    for (const QChar c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted)
            for (std::size_t i = 0; i < separators.size(); ++i)
                counts[i] += c == separators[i] ? 1 : 0;
    }
    std::size_t chosen = 0;
    for (std::size_t i = 1; i < separators.size(); ++i)
        if (counts[i] > counts[chosen])
            chosen = i;
    return separators[chosen];
}

QString CsvQuoted(const QString& cell, QChar separator) {
    if (!cell.contains(separator) && !cell.contains('"') && !cell.contains('\n') && !cell.contains('\r') &&
        cell.trimmed() == cell)
        return cell;
    return '"' + QString(cell).replace('"', QStringLiteral("\"\"")) + '"';
}

std::vector<CsvRecord> ReadCsv(QStringView text, QChar separator, std::vector<TextProblem>& problems) {
    std::vector<CsvRecord> records;
    int line = 1;
    CsvRecord record{line, {QString()}};
    bool quoted = false;
    bool afterQuote = false; // the current cell's closing quote has passed
    const auto endRecord = [&] {
        records.push_back(std::move(record));
        record = CsvRecord{line, {QString()}};
        afterQuote = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool lineBreak = c == '\n' || c == '\r';
        if (lineBreak && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                record.cells.last() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
                afterQuote = true;
            } else {
                record.cells.last() += lineBreak ? QChar('\n') : c;
            }
            line += lineBreak ? 1 : 0;
            continue;
        }
        if (lineBreak) {
            ++line;
            endRecord();
        } else if (c == separator) {
            record.cells << QString();
            afterQuote = false;
        } else if (c == '"' && record.cells.last().trimmed().isEmpty() && !afterQuote) {
            record.cells.last().clear();
            quoted = true;
        } else if (afterQuote && !c.isSpace()) {
            problems.push_back({record.line, QStringLiteral("text after the closing quote of a cell")});
            afterQuote = false;
            record.cells.last() += c;
        } else if (!afterQuote) {
            record.cells.last() += c;
        }
    }
    if (quoted)
        problems.push_back({record.line, QStringLiteral("a quoted cell is not closed")});
    if (record.cells.size() > 1 || !record.cells.first().isEmpty())
        records.push_back(std::move(record));
    return records;
}

