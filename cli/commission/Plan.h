#pragma once

#include "cli/PortChoice.h"
#include "cli/WriteValues.h"
#include "cli/commission/Csv.h"
#include "model/ByteString.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// One controller of a commissioning plan: a row of the spreadsheet.
struct PlanRow {
    int line = 0; // in the file, where the row begins
    QString name;
    QString port;                     // COMn or a device, as written
    OptionValues values;              // the write options' cells that are not empty, by option name
    bool disableEthernet = false;     // the row clears the Ethernet attributes
    std::optional<ByteString> statusId; // the controller must answer this one
    WriteValues parsed;               // `values` checked, after CheckPlan
    OptionValues heldValues;          // the held- cells that are not empty, by their field's column: what the
                                      // row's controller holds now
    WriteValues held;                 // `heldValues` checked, after CheckPlan
    PortChoice choice;                // where `port` leads, looked up once by CheckPlan
};

using PlanProblem = TextProblem;

struct Plan {
    std::vector<PlanRow> rows;
    std::vector<PlanProblem> problems;
    QChar separator = ','; // between the cells, so that the report reads as the plan does
    QStringList notes;     // how the plan was read where the technician should know it, such as its encoding
};

// The plan's columns, in the order a row's values are written out.
const QStringList& PlanColumns();

// The field columns a held- column may name ("held-ip"), in the plan's order.
const QStringList& HeldFieldColumns();

// The bytes of the plan file at `path`, of standard input for "-", or nothing and why (a file larger than
// a plan may be among the reasons). Reading stops past the size ReadPlan takes.
std::optional<QByteArray> ReadPlanFile(const QString& path, QString& error);
// The plan file as problems name it: "standard input" for "-".
QString PlanFileName(const QString& path);

// Reads a plan saved as CSV by a spreadsheet: UTF-8 with or without a byte-order mark (otherwise
// Windows-1252, with a note), LF or CR LF line ends, cells quoted or not, ',', ';' or a tab between them
// (whichever the header uses). The header names the columns in any order, case and spelling of blanks, '_'
// and '-' ("MAC ID" is mac-id), or as the utility's pages name the fields ("IP address", "Baud rate"); name
// and port
// are required; comment and notes columns and those whose name begins with '#' are the technician's and
// passed over, as are empty header cells at the end. "held-" before a field column names what the row's
// controller holds now. Blank lines are passed over; an empty cell keeps what
// the controller holds. Every fault found is a problem with its line.
Plan ReadPlan(const QByteArray& bytes);

// The row's cells that go to the controller, by column name: the write options' values, disable-ethernet
// and status-id. Two rows with the same values ask for the same.
OptionValues RowValues(const PlanRow& row);
