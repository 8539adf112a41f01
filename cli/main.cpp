// talvor-netcfg: the utility's reads and writes from a script, one controller per run.

#include "app/NetConfigApp.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/LineTrace.h"
#include "cli/Output.h"
#include "link/MessageSink.h"
#include "res/Version.h"

#include <QCoreApplication>

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
        PrintErrorLine(QStringLiteral("talvor-netcfg: %1\nTry 'talvor-netcfg --help'.").arg(refusal));
        return ExitRefused;
    case CommandLineOutcome::Run:
        break;
    }

    CStreamMessageSink standardError(stderr);
    theApp.m_pMessageSink = &standardError;
    CLineTrace trace;
    if (invocation.trace)
        theApp.m_SerialComm.m_pTrace = &trace;

    const ExitStatus status = RunCommand(invocation);
    // Some link results are never told in the utility either; a script still learns why it failed.
    if (status == ExitLinkFailure && standardError.m_nShown == 0 && invocation.command != "probe")
        PrintErrorLine(QStringLiteral("talvor-netcfg: the request failed without a message from the link; "
                                      "--trace shows the exchange."));
    theApp.m_SerialComm.m_pTrace = nullptr;
    theApp.m_pMessageSink = nullptr;
    return status;
}
