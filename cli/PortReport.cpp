#include "cli/PortReport.h"

#include "seriallink/network/PortUrl.h"

#include "seriallink/serial/PortAccess.h"
#include "seriallink/serial/PortFacts.h"
#include "seriallink/serial/PortName.h"

#include <QJsonArray>

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
    QJsonArray notes;
    for (const std::string& note : PortNotes(port))
        notes.append(Text(note));
    return {{"device", Text(port.device)},
            {"description", port.description.empty() ? KindText(port.kind) : Text(port.description)},
            {"identity", Text(AdapterIdentity(port))},
            {"kind", KindText(port.kind)},
            {"manufacturer", Text(port.manufacturer)},
            {"vendorId", Text(port.vendorId)},
            {"productId", Text(port.productId)},
            {"serialNumber", Text(port.serialNumber)},
            {"interface", Text(port.interfaceNumber)},
            {"stableName", Text(port.stableName)},
            {"console", port.console},
            {"permissionDenied", !PermissionFix(port.device, port.accessError, port.group).empty()},
            {"notes", notes}};
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

QJsonObject PortReport(const PortListing& present) {
    std::vector<PresentPort> shown = PortsInComOrder(present.ports);
    for (const PresentPort& port : present.ports)
        if (port.console && port.hardware)
            shown.push_back(port);
    QJsonArray ports;
    for (const PresentPort& port : shown)
        ports.append(PortJson(port));
    QJsonArray comPorts;
    for (int number = FirstComPort; number <= LastAddressableComPort; ++number) {
        const ComPortMapping mapping = ResolveComPort(number, present);
        // A port on a device server is only found out by reaching it.
        const bool found = !mapping.device.empty() &&
                           (LooksLikeUrl(mapping.device) || FindDevice(present, mapping.device).has_value());
        const bool counted =
            mapping.source == ComPortSource::Present || mapping.source == ComPortSource::System;
        if (number > LastComPort && mapping.source != ComPortSource::Variable && !(counted && found))
            continue;
        const bool mapped = mapping.source != ComPortSource::Nothing;
        comPorts.append(QJsonObject{{"port", QStringLiteral("COM%1").arg(number)},
                                    {"device", mapped ? QJsonValue(Text(mapping.device)) : QJsonValue()},
                                    {"from", SourceText(number, mapping.source)},
                                    {"missing", mapped && !found}});
    }
    return {{"present", ports}, {"comPorts", comPorts}};
}

QStringList PortReportLines(const QJsonObject& report) {
    const QJsonArray present = report["present"].toArray();
    QStringList lines{present.isEmpty() ? QStringLiteral("No serial ports present.")
                                        : QStringLiteral("Present:")};
    for (const QJsonValue& value : present) {
        const QJsonObject port = value.toObject();
        const QString identity = port["identity"].toString();
        lines << QStringLiteral("  %1  %2%3")
                     .arg(port["device"].toString(), port["kind"].toString(),
                          identity.isEmpty() ? QString() : QStringLiteral(": ") + identity);
        for (const QJsonValue& note : port["notes"].toArray())
            lines << QStringLiteral("      ") + note.toString();
    }
    lines << QStringLiteral("COM ports:");
    for (const QJsonValue& value : report["comPorts"].toArray()) {
        const QJsonObject port = value.toObject();
        const QString device =
            port["device"].isNull() ? QStringLiteral("no port") : port["device"].toString();
        const QString missing = port["missing"].toBool() ? QStringLiteral(", missing") : QString();
        lines << QStringLiteral("  %1  %2  (%3%4)")
                     .arg(port["port"].toString(), device, port["from"].toString(), missing);
    }
    return lines;
}
