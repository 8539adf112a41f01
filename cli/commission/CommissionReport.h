#pragma once

#include "cli/WriteValues.h"

#include <QByteArray>
#include <QChar>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

struct PlanRow;

enum class RowOutcome { Commissioned, Unchanged, Failed, Refused, Skipped };

QString OutcomeName(RowOutcome outcome);

// A field a row changed, by the plan's column name ("mac-id"), with the values before and after.
struct FieldChange {
    QString field;
    QString held;
    QString now;
    bool operator==(const FieldChange&) const = default;
};

// "ip 192.168.1.1 -> 10.0.0.5, mac-id 3 -> 12"
QString ChangesText(const std::vector<FieldChange>& changes);

// What became of one row of a plan: one record of the report.
struct RowRecord {
    int line = 0;
    QString name;
    QString port;
    QString device;   // the device opened for the port
    QString statusId; // as the controller answered it, in hex; empty when it did not
    RowOutcome outcome = RowOutcome::Failed;
    int exitStatus = 0;
    QString message;
    std::vector<FieldChange> changed;
    double seconds = 0;
    OptionValues values; // the row's cells that go to the controller, to tell a changed plan on --resume
    QString finished;    // UTC, ISO 8601
    // What each write the row tried left on the controller, in order: the type ("devicenet") and "yes",
    // "no" or "unknown".
    std::vector<std::pair<QString, QString>> written;
    bool controllerDone = false; // not reported: the controller held what a finished row wrote
};

// "press-1 on COM1: failed (exit status 2): the message", as a line for the technician.
QString RecordLine(const RowRecord& record);

// Report lines: CSV under ReportCsvHeader(), with the plan's separator, or one JSON object per line.
// Each ends with a line break. A CSV cell a spreadsheet would take for a formula starts with a ' that
// ReadReport takes off again.
QByteArray ReportCsvHeader(QChar separator = ',');
QByteArray ReportCsvLine(const RowRecord& record, QChar separator = ',');
QByteArray ReportJsonLine(const RowRecord& record);
QJsonObject RecordJson(const RowRecord& record);

// The separator of a CSV report that `bytes` begins, by the header of this version or of earlier ones;
// nothing for anything else.
std::optional<QChar> ReportCsvSeparator(const QByteArray& bytes);

// A row's values as {"ip": "10.0.0.5", "mask": "255.0.0.0"}.
QJsonObject ValuesJson(const OptionValues& values);
// A row's values as one text in the plan's column order, "ip=10.0.0.5 mask=255.0.0.0", and back: a blank,
// '\' and, in a column's name, '=' are escaped with '\'.
QString ValuesText(const OptionValues& values);
OptionValues ValuesOfText(const QString& text);

// Reads a report of either kind back; nothing, with `error` saying why, for anything else.
std::optional<std::vector<RowRecord>> ReadReport(const QByteArray& bytes, QString& error);

// The record of a row as its first step starts: failed until it ends otherwise.
RowRecord StartedRecord(const PlanRow& row, const QString& port, const QString& device);
// The record of a row left out.
RowRecord SkippedRecord(const PlanRow& row, const QString& port, const QString& message);

// Whether the report shows the row done: its last record that is not a skip says commissioned or
// unchanged, with the values the row gives now.
bool DoneInReport(const std::vector<RowRecord>& report, const PlanRow& row);
