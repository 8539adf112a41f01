#include "cli/PortChoice.h"

#include "app/NetConfigApp.h"
#include "seriallink/PortName.h"

#include <QRegularExpression>

bool SelectPort(CNetConfigApp& app, const QString& port) {
    if (port.isEmpty())
        return false;
    static const QRegularExpression comPort(QStringLiteral("^COM([1-9][0-9]*)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comPort.match(port);
    const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (number >= FirstComPort && number <= LastComPort) {
        app.m_nComPort = number - 1;
        app.m_SerialComm.m_strDeviceName.clear();
    } else {
        app.m_SerialComm.m_strDeviceName = port.toStdString();
    }
    return true;
}

QString PortDescription(const CNetConfigApp& app) {
    if (!app.m_SerialComm.m_strDeviceName.empty())
        return QString::fromStdString(app.m_SerialComm.m_strDeviceName);
    const int number = app.m_nComPort + 1;
    return QStringLiteral("COM%1 (%2)").arg(number).arg(QString::fromStdString(ComPortDevice(number)));
}
