#include "cli/PortChoice.h"

#include "app/NetConfigApp.h"
#include "seriallink/PortName.h"

#include <QRegularExpression>

QString SelectPort(CNetConfigApp& app, const QString& port) {
    if (port.isEmpty())
        return QStringLiteral("--port needs COM1 to COM%1 or a device.").arg(LastAddressableComPort);
    // Every name of this form is a COM port: none of them may fall through to a file of that name, nor
    // may a misspelt one ("COMx", "COM1:").
    static const QRegularExpression comPort(QStringLiteral("^COM([0-9]+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comPort.match(port);
    if (!match.hasMatch() && port.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive))
        return QStringLiteral("--port %1 is no port name: use COM1 to COM%2 (COMn, n a number) or a device.")
            .arg(port)
            .arg(LastAddressableComPort);
    if (!match.hasMatch()) {
        app.m_SerialComm.m_strDeviceName = port.toStdString();
        return {};
    }
    bool inRange = false;
    const int number = match.captured(1).toInt(&inRange);
    if (!inRange || number < FirstComPort || number > LastAddressableComPort)
        return QStringLiteral("--port %1 is out of range: use COM1 to COM%2 or a device.")
            .arg(port)
            .arg(LastAddressableComPort);
    if (ResolveComPort(number).source == ComPortSource::Nothing)
        return QStringLiteral("No serial port is behind COM%1. Map it with %2=DEVICE (for example "
                              "%2=/dev/ttyUSB0), or give the device itself as --port.")
            .arg(number)
            .arg(QString::fromStdString(ComPortVariable(number)));
    // The link looks the device up again when it opens, as the utility does.
    app.m_nComPort = number - 1;
    app.m_SerialComm.m_strDeviceName.clear();
    return {};
}

QString PortDescription(const CNetConfigApp& app) {
    if (!app.m_SerialComm.m_strDeviceName.empty())
        return QString::fromStdString(app.m_SerialComm.m_strDeviceName);
    const int number = app.m_nComPort + 1;
    const std::string device = ComPortDevice(number);
    return QStringLiteral("COM%1 (%2)")
        .arg(number)
        .arg(device.empty() ? QStringLiteral("no port") : QString::fromStdString(device));
}
