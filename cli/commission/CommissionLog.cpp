#include "cli/commission/CommissionLog.h"

#include "cli/commission/Plan.h"

#include <algorithm>
#include <utility>

namespace {

QString Elapsed(std::chrono::steady_clock::duration time) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time).count();
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

} // namespace

CRunLog::CRunLog(Setup setup) : m_setup(std::move(setup)), m_start(std::chrono::steady_clock::now()) {}

void CRunLog::Waiting(const std::vector<const PlanRow*>& rows, const QString& port, bool toLeave) {
    QStringList names;
    for (const PlanRow* row : rows)
        names << row->name;
    const QString last = names.isEmpty() ? QString() : names.takeLast();
    const QString awaited =
        names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
    const std::lock_guard lock(m_mutex);
    m_waiting.insert(port);
    ProgressLocked(toLeave ? QStringLiteral("waiting for %1 to leave %2").arg(awaited, port)
                           : QStringLiteral("waiting for %1 on %2").arg(awaited, port));
}

void CRunLog::NotTheRows(const RowRecord& record) {
    const std::lock_guard lock(m_mutex);
    m_running.erase(record.port);
    m_waiting.insert(record.port);
    ShowLocked(QStringLiteral("%1 on %2: %3 Taken for a controller put back (a re-addressed line names its "
                              "controllers in held- columns); waiting for it to leave.")
                   .arg(record.name, record.port, record.message));
}

void CRunLog::NoRowsController(const QString& port, const QString& held) {
    const std::lock_guard lock(m_mutex);
    m_waiting.insert(port);
    ShowLocked(QStringLiteral("%1: a controller came that holds %2, which no waiting row names; nothing was "
                              "written. Waiting for it to leave.")
                   .arg(port, held));
}

void CRunLog::Started(const PlanRow& /*row*/, const QString& port) {
    const std::lock_guard lock(m_mutex);
    m_waiting.erase(port);
    m_running.insert(port);
    DrawLocked();
}

void CRunLog::Finished(const RowRecord& record) {
    const std::lock_guard lock(m_mutex);
    m_running.erase(record.port);
    m_waiting.erase(record.port);
    m_records.push_back(record);
    if (record.outcome == RowOutcome::Failed || record.outcome == RowOutcome::Refused)
        ++m_failed;
    if (m_setup.report && m_reportError.isEmpty()) {
        const QByteArray line =
            m_setup.jsonReport ? ReportJsonLine(record) : ReportCsvLine(record, m_setup.reportSeparator);
        if (m_setup.report->write(line) != line.size() || !m_setup.report->flush())
            m_reportError = m_setup.report->errorString();
    }
    ProgressLocked(RecordLine(record));
}

AskAnswer CRunLog::Ask(const PlanRow& row, const QString& port) {
    const auto show = [this](const QString& prompt) {
        if (m_setup.discardTypedAhead)
            m_setup.discardTypedAhead();
        m_prompt = prompt;
        ShowLocked(m_prompt);
    };
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.insert(port);
        show(QStringLiteral(
                       "connect %1 (line %2) to %3, Enter to go on, s to skip it, q to start no other row")
                       .arg(row.name)
                       .arg(row.line)
                       .arg(port));
    }
    const auto answered = [this, &port](AskAnswer answer) {
        const std::lock_guard lock(m_mutex);
        if (answer == AskAnswer::Quit)
            m_waiting.erase(port);
        m_prompt.clear();
        for (const QString& line : std::exchange(m_deferred, {}))
            ShowLocked(line);
        DrawLocked();
        return answer;
    };
    for (;;) {
        const std::optional<QString> answer = m_setup.readAnswer();
        const QString word = answer.value_or(QStringLiteral("q")).trimmed().toLower();
        if (word.isEmpty())
            return answered(AskAnswer::Go);
        if (word == "s")
            return answered(AskAnswer::Skip);
        if (word == "q")
            return answered(AskAnswer::Quit);
        const std::lock_guard lock(m_mutex);
        show(QStringLiteral("%1 (line %2) on %3: Enter to go on, s to skip it, q to start no other row")
                 .arg(row.name)
                 .arg(row.line)
                 .arg(port));
    }
}

void CRunLog::Tick() {
    const std::lock_guard lock(m_mutex);
    DrawLocked();
}

void CRunLog::Close() {
    const std::lock_guard lock(m_mutex);
    if (m_setup.terminal && m_statusWidth > 0)
        m_setup.writeError(QString(m_statusWidth, ' ') + '\r');
    m_statusWidth = 0;
}

std::vector<RowRecord> CRunLog::Records() const {
    const std::lock_guard lock(m_mutex);
    std::vector<RowRecord> records = m_records;
    std::stable_sort(records.begin(), records.end(),
                     [](const RowRecord& a, const RowRecord& b) { return a.line < b.line; });
    return records;
}

QString CRunLog::ReportError() const {
    const std::lock_guard lock(m_mutex);
    return m_reportError;
}

void CRunLog::ProgressLocked(const QString& line) {
    // Elsewhere nobody watches the run as it goes, and the result on standard output says it all.
    if (!m_setup.terminal)
        return;
    if (m_prompt.isEmpty())
        ShowLocked(line);
    else
        m_deferred << line;
}

void CRunLog::ShowLocked(const QString& line) {
    // Over the status line, padded to wipe it; the status line comes back under it.
    const qsizetype width = m_setup.terminal ? std::max(line.size(), m_statusWidth) : line.size();
    m_setup.writeError(line.leftJustified(width) + '\n');
    m_statusWidth = 0;
    DrawLocked();
}

void CRunLog::DrawLocked() {
    // Not under a question: the answer is typed on the line below it.
    if (!m_setup.terminal || !m_prompt.isEmpty())
        return;
    QString status = QStringLiteral("%1 of %2 done").arg(m_records.size()).arg(m_setup.rows);
    if (m_failed > 0)
        status += QStringLiteral(", %1 failed").arg(m_failed);
    status += QStringLiteral(", %1 running, %2 waiting, %3")
                  .arg(m_running.size())
                  .arg(m_waiting.size())
                  .arg(Elapsed(std::chrono::steady_clock::now() - m_start));
    const qsizetype width = std::max(status.size(), m_statusWidth);
    m_setup.writeError(status.leftJustified(width) + '\r');
    m_statusWidth = status.size();
}
