// talvor-netcfg: the utility's reads and writes from a script, one controller per run.

#include "app/NetConfigApp.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/Output.h"
#include "res/Version.h"

#include <QCoreApplication>
#include <QJsonObject>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvor-netcfg"));
    QCoreApplication::setApplicationVersion(ExecutableVersion);

    Invocation invocation;
    QString refusal;
    switch (ParseCommandLine(QCoreApplication::arguments(), invocation, refusal)) {
    case CommandLineOutcome::Help:
        PrintLine(HelpText().trimmed());
        return ExitSuccess;
    case CommandLineOutcome::Version:
        PrintLine(QStringLiteral("talvor-netcfg %1").arg(ExecutableVersion));
        return ExitSuccess;
    case CommandLineOutcome::Refused:
        if (AsksForJson(QCoreApplication::arguments()))
            PrintJson(ErrorJson(refusal, ExitRefused));
        PrintErrorLine(QStringLiteral("talvor-netcfg: %1\nTry 'talvor-netcfg --help'.").arg(refusal));
        return ExitRefused;
    case CommandLineOutcome::Run:
        break;
    }

    CatchInterruptions();
    CLineTrace watch(invocation.trace);
    CTerminalSink terminal(watch);
    const CScopedSink messages(theApp, terminal);
    theApp.m_SerialComm.m_pTrace = &watch;

    const ExitStatus status = RunCommand(invocation, watch);
    // Some link results are never told in the utility either; a script still learns why it failed.
    const bool linkSide = status == ExitLinkFailure || status == ExitControllerRefused;
    // probe and commission tell each port's failures themselves.
    const bool ownReport = invocation.command == "probe" || invocation.command == "commission";
    if (linkSide && terminal.m_shown.isEmpty() && !ownReport)
        terminal.ShowAppMessage(
            watch.TakeRefusal().value_or(QStringLiteral("talvor-netcfg: the request failed without a message "
                                                        "from the link; --trace shows the exchange.")),
            0);
    if (status == ExitInterrupted && terminal.m_shown.isEmpty() && invocation.command != "commission")
        terminal.ShowAppMessage(QStringLiteral("Interrupted: stopped before the next request."), 0);
    if (invocation.json && status != ExitSuccess && !JsonPrinted())
        PrintJson(ErrorJson(terminal.m_shown.join('\n'), status));
    theApp.m_SerialComm.m_pTrace = nullptr;
    return status;
}
