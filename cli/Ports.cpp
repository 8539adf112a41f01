#include "cli/Ports.h"

#include "app/NetConfigApp.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "cli/PortReport.h"
#include "platform/MessageBoxTypes.h"
#include "seriallink/serial/PortList.h"
#include "seriallink/serial/PortName.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

namespace {

// Told as the link's failures are, so that --json reports it too.
ExitStatus NoPortToAsk(const QString& message) {
    theApp.Messages().ShowAppMessage(message, mb::OK | mb::ICONEXCLAMATION);
    return ExitLinkFailure;
}

ExitStatus ListingFailed(const PortListing& listing) {
    return NoPortToAsk(QStringLiteral("Cannot list the serial ports: %1.")
                           .arg(QString::fromStdString(listing.error.message())));
}

} // namespace

ExitStatus ListPorts(const Invocation& invocation) {
    const PortListing listing = ListPresentPorts();
    if (listing.error)
        return ListingFailed(listing);
    const QJsonObject report = PortReport(listing);
    if (invocation.json)
        PrintJson(report);
    else
        PrintLine(PortReportLines(report).join('\n'));
    return ExitSuccess;
}

ExitStatus PresentPortDevices(QStringList& devices) {
    const PortListing listing = ListPresentPorts();
    if (listing.error)
        return ListingFailed(listing);
    for (const PresentPort& port : PortsInComOrder(listing.ports))
        devices << QString::fromStdString(port.device);
    return devices.isEmpty() ? NoPortToAsk(QStringLiteral("No serial port is present.")) : ExitSuccess;
}

ExitStatus ProbePorts(const Invocation& invocation, CLineTrace& watch) {
    QStringList ports;
    if (invocation.present) {
        if (const ExitStatus status = PresentPortDevices(ports); status != ExitSuccess)
            return status;
    } else {
        for (int number = FirstComPort; number <= LastComPort; ++number)
            ports << QStringLiteral("COM%1").arg(number);
    }
    QJsonArray results;
    bool answered = false;
    for (const QString& port : ports) {
        if (Interrupted())
            break;
        CCollectingSink collected;
        const CScopedSink quiet(theApp, collected);
        watch.BeginRequest();
        if (const QString refused = SelectPort(theApp, port); !refused.isEmpty()) {
            results.append(QJsonObject{{"port", port},
                                       {"device", QJsonValue()},
                                       {"answered", false},
                                       {"statusId", QJsonValue()},
                                       {"message", refused}});
            if (!invocation.json)
                PrintLine(QStringLiteral("%1  no serial port behind it").arg(port));
            continue;
        }
        ByteString id;
        const bool ok = theApp.ReadStatusId(&id);
        // A port whose probe was cut short is left out, as those after it are.
        if (!ok && watch.Failure() == LinkFailure::Interrupted)
            break;
        answered = answered || ok;
        QJsonObject result = PortJson(theApp);
        result.insert("answered", ok);
        result.insert("statusId", ok ? QJsonValue(HexString(id)) : QJsonValue());
        const QString message = watch.TakeOpenFailure().value_or(collected.Text());
        result.insert("message", message);
        results.append(result);
        if (!invocation.json)
            PrintLine(QStringLiteral("%1  %2").arg(PortDescription(theApp),
                                                   ok ? QStringLiteral("statusId ") + HexString(id)
                                                      : QString(message).replace('\n', ' ')));
    }
    if (invocation.json)
        PrintJson(results);
    else if (!answered)
        PrintErrorLine(QStringLiteral("No controller answered on %1.").arg(ports.join(", ")));
    if (Interrupted())
        return ExitInterrupted;
    return answered ? ExitSuccess : ExitLinkFailure;
}
