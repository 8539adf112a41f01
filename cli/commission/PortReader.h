#pragma once

#include "app/NetConfigApp.h"
#include "cli/BackupFile.h"
#include "cli/ExitStatus.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/Operations.h"

#include <QString>

#include <atomic>

struct Invocation;

// Reads one port as a commissioning worker does, on an application object of its own, so that readers
// of different ports share nothing of the link and may run at once. Messages are kept, not shown.
class CPortReader {
public:
    // `invocation` gives --retries and --force; it outlives the reader.
    CPortReader(const QString& port, const Invocation& invocation, const std::atomic<bool>& stop);
    CPortReader(const CPortReader&) = delete;
    CPortReader& operator=(const CPortReader&) = delete;

    // The controller's status id and each type's block it holds into `held`. ExitRefused for a port
    // refused by its name, a failure status when it does not answer; Messages() says why.
    ExitStatus Read(Backup& held);
    // The operations' view of this reader's link.
    Run LinkRun();

    // The messages since the last ClearMessages(), as one text.
    QString Messages() const;
    void ClearMessages();
    // The device the port reaches; empty for a port refused by its name.
    QString Device() const;

private:
    const Invocation& m_invocation;
    const std::atomic<bool>& m_stop;
    QString m_portRefusal;
    CNetConfigApp m_app;
    CLineTrace m_watch{false};
    CTerminalSink m_messages{m_watch, false};
};
