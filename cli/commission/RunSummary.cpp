#include "cli/commission/RunSummary.h"

#include <algorithm>

ExitStatus RunStatus(const std::vector<RowRecord>& records, std::size_t planned, bool stopped) {
    if (stopped)
        return ExitInterrupted;
    ExitStatus worst = records.size() < planned ? ExitIncomplete : ExitSuccess;
    for (const RowRecord& record : records)
        if (IsExitStatus(record.exitStatus))
            worst = WorseOf(worst, static_cast<ExitStatus>(record.exitStatus));
    return worst;
}

QStringList SummaryTable(const std::vector<RowRecord>& records) {
    std::vector<QStringList> table{{"name", "port", "outcome", "time", "changed", "message"}};
    for (const RowRecord& record : records) {
        QString outcome = OutcomeName(record.outcome);
        if (record.exitStatus != ExitSuccess)
            outcome += QStringLiteral(" (%1)").arg(record.exitStatus);
        // Each message the link told on a line of its own, in the message column.
        const QStringList messages = record.message.split('\n');
        table.push_back({record.name, record.port, outcome,
                         QStringLiteral("%1 s").arg(record.seconds, 0, 'f', 1), ChangesText(record.changed),
                         messages.first()});
        for (const QString& message : messages.mid(1))
            table.push_back({"", "", "", "", "", message});
    }
    std::vector<qsizetype> widths(table.front().size(), 0);
    for (const QStringList& line : table)
        for (qsizetype column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], line[column].size());
    QStringList lines;
    for (const QStringList& line : table) {
        QString text;
        for (qsizetype column = 0; column < line.size(); ++column)
            text += line[column].leftJustified(widths[column] + 2);
        while (text.endsWith(' '))
            text.chop(1);
        lines << text;
    }
    return lines;
}
