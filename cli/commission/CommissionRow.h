#pragma once

#include "app/NetConfigApp.h"
#include "cli/CommandLine.h"
#include "cli/Operations.h"
#include "cli/commission/CommissionSchedule.h"
#include "cli/commission/DoneRows.h"
#include "cli/commission/LineEnds.h"
#include "cli/commission/RowChanges.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/PortChoice.h"
#include "link/PortHold.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <optional>

struct CommissionSettings {
    int retries = 0;
    bool force = false;
    QString backups; // folder of the backup files
    CCarriedLine* line = nullptr; // with --wait or --ask: the line as far as the run knows it
    bool resumed = false; // the run resumes an earlier one
};

// A worker's port: an application object of its own (link, records, messages), so that workers on
// different ports share nothing of the link.
class CLinkPortWork : public CPortWork {
public:
    // `carried` is shared by every worker of the run, and nullptr on ports of their own.
    CLinkPortWork(const PortChoice& port, const CommissionSettings& settings, CDoneRows* carried,
                  const std::atomic<bool>& stop);

    bool Answers() override;
    PortRead Read(const PlanRow& row) override;
    RowRecord Commission(const PlanRow& row) override;
    ArrivalMatch Arrived(const std::vector<const PlanRow*>& waiting) override;

private:
    void EndRecord(RowRecord& record, std::chrono::steady_clock::time_point start);
    // The status id and every block the controller holds; false with the record failed when it cannot.
    bool ReadHeld(const Run& run, Backup& held, RowRecord& record);
    // Reads (unless Read did), backs up, writes and backs up again; fills the record's outcome.
    void Steps(const PlanRow& row, RowRecord& record);
    void Fail(RowRecord& record, RowOutcome outcome, int status, const QString& message = QString());
    // After a write that failed: the fields a read proves changed since `before`, or, where nothing can be
    // read, those of the blocks known written so far, and a word that the rest is not known.
    // The failed write's outcome, where it was not known, is what the read finds.
    QString ProveChanges(const Run& run, const Backup& before, const Backup& verified,
                         const BlockChange& failed, RowRecord& record);
    QString BackupPath(const QString& name, bool before) const;
    QString FirstBackupPath(const QString& name) const;
    // What the row's controller held before the row's first run changed it, where its backup is there.
    std::optional<Backup> FirstBackup(const QString& name) const;

    CommissionSettings m_settings;
    CDoneRows* m_carried;
    const std::atomic<bool>& m_stop;
    QString m_port;
    CNetConfigApp m_app;
    CLineTrace m_watch{false};
    CTerminalSink m_messages{m_watch, false};
    Invocation m_rowInvocation;
    Invocation m_pollInvocation; // no retries: a poll is repeated anyway
    std::optional<CPortHold> m_waitHold; // after m_app, so it closes the port first
    std::optional<CPortHold> m_readHold; // from Read to the end of the work
    std::optional<Backup> m_read;        // what Read found, for the next row
};
