#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <span>

// Standard output and standard error, each line written and flushed at once so that the two stay in
// order when they share a terminal.
void PrintLine(const QString& text);
void PrintErrorLine(const QString& text);
void PrintJson(const QJsonValue& value);

// A failure as every command reports it with --json: {"error": the messages, one a line, "exitStatus"},
// and the fields the command added with AddErrorJsonField.
QJsonObject ErrorJson(const QString& error, int exitStatus);
// A field the failure's JSON report carries besides the error, such as what became of a write.
void AddErrorJsonField(const QString& key, const QJsonValue& value);

// Whether a JSON document has gone to standard output, so that a failure adds no second one.
bool JsonPrinted();

// A message written for a dialog box, as one line for a terminal: line breaks and runs of spaces become
// one space, nothing at either end, and DeviceNet spelt one way.
QString TerminalText(const QString& text);

// A terminal line without the dialog's advice to check the cable and connection, for a failure that is
// not the line's.
QString WithoutCableAdvice(QString line);

// "1 row", "2 rows": a count with its noun, `plural` where the noun does not take an s.
QString Counted(qsizetype count, const QString& noun, const QString& plural = QString());

// Bytes as upper-case hex pairs without spaces, as blocks and status ids are shown: "000C02".
QString HexString(std::span<const std::uint8_t> bytes);
