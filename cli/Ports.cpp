#include "app/NetConfigApp.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "seriallink/PortName.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSerialPortInfo>
#include <QStringList>

namespace {

QString UsbId(bool known, quint16 id) {
    return known ? QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')) : QString();
}

QJsonObject PortJson(const QSerialPortInfo& port) {
    return {{"device", port.systemLocation()},
            {"description", port.description()},
            {"manufacturer", port.manufacturer()},
            {"vendorId", UsbId(port.hasVendorIdentifier(), port.vendorIdentifier())},
            {"productId", UsbId(port.hasProductIdentifier(), port.productIdentifier())},
            {"serialNumber", port.serialNumber()}};
}

// Where the device of COM port n comes from.
QString ComPortSource(int number) {
#ifdef _WIN32
    Q_UNUSED(number);
    return QStringLiteral("system");
#else
    const QString variable = QStringLiteral("TALVOR_COM%1").arg(number);
    return qEnvironmentVariableIsEmpty(variable.toLatin1().constData()) ? QStringLiteral("default")
                                                                        : variable;
#endif
}

} // namespace

ExitStatus ListPorts(const Invocation& invocation) {
    QJsonArray present;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        present.append(PortJson(port));
    QJsonArray comPorts;
    for (int number = FirstComPort; number <= LastComPort; ++number)
        comPorts.append(QJsonObject{{"port", QStringLiteral("COM%1").arg(number)},
                                    {"device", QString::fromStdString(ComPortDevice(number))},
                                    {"from", ComPortSource(number)}});
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
        PrintLine(QStringLiteral("  %1  %2  (%3)")
                      .arg(port["port"].toString(), port["device"].toString(), port["from"].toString()));
    }
    return ExitSuccess;
}

ExitStatus ProbePorts(const Invocation& invocation, CLineTrace& watch) {
    QStringList ports;
    if (invocation.present) {
        for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
            ports << port.systemLocation();
    } else {
        for (int number = FirstComPort; number <= LastComPort; ++number)
            ports << QStringLiteral("COM%1").arg(number);
    }
    QJsonArray results;
    bool answered = false;
    for (const QString& port : ports) {
        CCollectingSink collected;
        const CScopedSink quiet(collected);
        watch.BeginRequest();
        SelectPort(theApp, port);
        ByteString id;
        const bool ok = theApp.ReadStatusId(&id);
        answered = answered || ok;
        QJsonObject result = PortJson();
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
