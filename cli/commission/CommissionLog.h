#pragma once

#include "cli/commission/CommissionSchedule.h"

#include <QFile>
#include <QStringList>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

// The run as the technician and the report see it: each record appended to the report and flushed as its
// row ends; on a terminal, progress on standard error: a line per row and a status line kept up to date
// under them, held still while a question waits, and asked once. Questions go to standard error wherever it
// leads.
class CRunLog : public CRunEvents {
public:
    struct Setup {
        QFile* report = nullptr; // open for appending; none without --report
        bool jsonReport = false;
        QChar reportSeparator = ','; // of a CSV report
        bool terminal = false;
        std::size_t rows = 0;
        // The technician's answer to a prompt, or nothing when none can come (end of input, a stop).
        std::function<std::optional<QString>()> readAnswer;
        std::function<void(const QString&)> writeError; // a line, or the status line when it ends in '\r'
        // Drops what was typed before a question is shown: an answer belongs to the question on the screen.
        std::function<void()> discardTypedAhead;
    };

    explicit CRunLog(Setup setup);

    void Waiting(const std::vector<const PlanRow*>& rows, const QString& port, bool toLeave) override;
    void Started(const PlanRow& row, const QString& port) override;
    void Finished(const RowRecord& record) override;
    void NotTheRows(const RowRecord& record) override;
    void NoRowsController(const QString& port, const QString& held) override;
    AskAnswer Ask(const PlanRow& row, const QString& port) override;

    // Redraws the status line with the time elapsed.
    void Tick();
    // Ends the status line, so that what follows starts on a line of its own.
    void Close();

    // Every record so far, in the plan's order.
    std::vector<RowRecord> Records() const;
    // Why the report could not be written, or an empty text.
    QString ReportError() const;

private:
    void ProgressLocked(const QString& line);
    void ShowLocked(const QString& line);
    void DrawLocked();

    Setup m_setup;
    mutable std::mutex m_mutex;
    std::chrono::steady_clock::time_point m_start;
    std::vector<RowRecord> m_records;
    std::set<QString> m_running; // ports
    std::set<QString> m_waiting; // ports
    std::size_t m_failed = 0;
    QString m_reportError;
    QString m_prompt; // the question waiting for an answer
    QStringList m_deferred; // progress while it waits, shown after it: the question stays the last line
    qsizetype m_statusWidth = 0;
};
