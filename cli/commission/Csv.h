#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// A fault in a text file read line by line.
struct TextProblem {
    int line; // 0 for the file as a whole
    QString text;
};

struct CsvRecord {
    int line; // where the record begins
    QStringList cells;
};

// ',', ';' or a tab: whichever the first line uses most, outside quotes (',' where none is used).
QChar CsvSeparatorOf(QStringView text);

// Records as spreadsheets write them (RFC 4180): LF or CR LF between records, a quoted cell may hold the
// separator, line breaks and "" for a quote. An unclosed quote or text after a closing quote is a
// problem; the record is kept as read.
std::vector<CsvRecord> ReadCsv(QStringView text, QChar separator, std::vector<TextProblem>& problems);

// `cell` as a spreadsheet reads it back: quoted, with "" for a quote, where it holds the separator, a quote
// or a line break, or begins or ends with a blank.
QString CsvQuoted(const QString& cell, QChar separator);
