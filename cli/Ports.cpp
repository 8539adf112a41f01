#include "app/NetConfigApp.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "seriallink/PortList.h"
#include "seriallink/PortName.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString KindText(PortKind kind) {
    switch (kind) {
    case PortKind::Usb:
        return QStringLiteral("USB serial adapter");
    case PortKind::Acm:
        return QStringLiteral("USB modem (ACM)");
    case PortKind::BuiltIn:
        break;
    }
    return QStringLiteral("built-in serial port");
}

QJsonObject PortJson(const PresentPort& port) {
    return {{"device", Text(port.device)},
            {"description", port.description.empty() ? KindText(port.kind) : Text(port.description)},
            {"manufacturer", Text(port.manufacturer)},
            {"vendorId", Text(port.vendorId)},
            {"productId", Text(port.productId)},
            {"serialNumber", Text(port.serialNumber)}};
}

QString SourceText(int number, ComPortSource source) {
    switch (source) {
    case ComPortSource::Variable:
        return Text(ComPortVariable(number));
    case ComPortSource::Present:
        return QStringLiteral("present");
    case ComPortSource::System:
        return QStringLiteral("system");
    case ComPortSource::Nothing:
        break;
    }
    return QStringLiteral("none");
}

} // namespace

ExitStatus ListPorts(const Invocation& invocation) {
    const std::vector<PresentPort> ordered = PortsInComOrder(ListPresentPorts());
    QJsonArray present;
    QStringList presentDevices;
    for (const PresentPort& port : ordered) {
        present.append(PortJson(port));
        presentDevices << Text(port.device);
    }
    // The utility's COM ports, and past them each one that reaches a device present or a named one.
    QJsonArray comPorts;
    for (int number = FirstComPort; number <= LastAddressableComPort; ++number) {
        const ComPortMapping mapping = ResolveComPort(number, ordered);
        const QString device = Text(mapping.device);
        if (number > LastComPort && mapping.source != ComPortSource::Variable &&
            !presentDevices.contains(device))
            continue;
        const bool mapped = mapping.source != ComPortSource::Nothing;
        comPorts.append(QJsonObject{{"port", QStringLiteral("COM%1").arg(number)},
                                    {"device", mapped ? QJsonValue(device) : QJsonValue()},
                                    {"from", SourceText(number, mapping.source)}});
    }
    if (invocation.json) {
        PrintJson(QJsonObject{{"present", present}, {"comPorts", comPorts}});
        return ExitSuccess;
    }
    PrintLine(present.isEmpty() ? QStringLiteral("No serial ports present.") : QStringLiteral("Present:"));
    for (const QJsonValue& value : present) {
        const QJsonObject port = value.toObject();
        QString usb;
        if (!port["vendorId"].toString().isEmpty())
            usb = QStringLiteral(" USB %1:%2").arg(port["vendorId"].toString(), port["productId"].toString());
        if (!port["serialNumber"].toString().isEmpty())
            usb += QStringLiteral(" serial %1").arg(port["serialNumber"].toString());
        const QString line =
            QStringLiteral("%1  %2%3").arg(port["device"].toString(), port["description"].toString(), usb);
        PrintLine(QStringLiteral("  ") + line.trimmed());
    }
    PrintLine(QStringLiteral("COM ports:"));
    for (const QJsonValue& value : comPorts) {
        const QJsonObject port = value.toObject();
        const QString device =
            port["device"].isNull() ? QStringLiteral("no port") : port["device"].toString();
        PrintLine(
            QStringLiteral("  %1  %2  (%3)").arg(port["port"].toString(), device, port["from"].toString()));
    }
    return ExitSuccess;
}

ExitStatus ProbePorts(const Invocation& invocation, CLineTrace& watch) {
    QStringList ports;
    if (invocation.present) {
        for (const PresentPort& port : PortsInComOrder(ListPresentPorts()))
            ports << Text(port.device);
    } else {
        for (int number = FirstComPort; number <= LastComPort; ++number)
            ports << QStringLiteral("COM%1").arg(number);
    }
    QJsonArray results;
    bool answered = false;
    for (const QString& port : ports) {
        CCollectingSink collected;
        const CScopedSink quiet(theApp, collected);
        watch.BeginRequest();
        if (const QString refused = SelectPort(theApp, port); !refused.isEmpty()) {
            results.append(QJsonObject{{"port", port},
                                       {"device", QJsonValue()},
                                       {"answered", false},
                                       {"statusId", QJsonValue()},
                                       {"message", refused}});
            continue;
        }
        ByteString id;
        const bool ok = theApp.ReadStatusId(&id);
        answered = answered || ok;
        QJsonObject result = PortJson(theApp);
        result.insert("answered", ok);
        result.insert("statusId", ok ? QJsonValue(HexString(id)) : QJsonValue());
        result.insert("message", watch.TakeOpenFailure().value_or(collected.Text()));
        results.append(result);
        if (ok && !invocation.json)
            PrintLine(QStringLiteral("%1  statusId %2").arg(PortDescription(theApp), HexString(id)));
    }
    if (invocation.json)
        PrintJson(results);
    else if (!answered)
        PrintErrorLine(QStringLiteral("No controller answered on %1.").arg(ports.join(", ")));
    return answered ? ExitSuccess : ExitLinkFailure;
}
