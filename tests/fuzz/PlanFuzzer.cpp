#include "cli/commission/CommissionReport.h"
#include "cli/commission/PlanCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Plans and reports are files a technician's spreadsheet or an interrupted run left: any bytes must
// give rows and problems, never a crash. Every problem names a line of the file, every row keeps the port
// the check looked up, and a report read back is written again line for line.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Plan plan = ReadPlan(bytes);
    // Ports beginning with x are refused; any other is one device in any case, as COMn is.
    CheckPlan(plan, {size % 2 == 0, size % 3 == 0}, [](const QString& port, PortChoice& choice) {
        if (port.startsWith('x'))
            return port;
        choice = {port, port.toStdString(), port.toUpper(), {}};
        return QString();
    });
    const int lines = static_cast<int>(bytes.count('\n') + bytes.count('\r')) + 1;
    for (const PlanProblem& problem : plan.problems)
        if (problem.line < 0 || problem.line > lines || problem.text.isEmpty())
            std::abort();
    for (const PlanRow& row : plan.rows)
        if (row.line < 2 || row.line > lines ||
            (!row.port.isEmpty() && !row.port.startsWith('x') && row.choice.name != row.port))
            std::abort(); // every port accepted is carried to the workers as the check found it

    QString error;
    const auto records = ReadReport(bytes, error);
    if (!records)
        return error.isEmpty() ? (std::abort(), 0) : 0;
    QByteArray again = ReportCsvHeader();
    for (const RowRecord& record : *records)
        again += ReportCsvLine(record);
    const auto reread = ReadReport(again, error);
    if (!reread || reread->size() != records->size())
        std::abort();
    for (std::size_t i = 0; i < records->size(); ++i)
        if (ReportCsvLine((*reread)[i]) != ReportCsvLine((*records)[i]))
            std::abort();
    return 0;
}
