#include "cli/PortChoice.h"

#include "app/NetConfigApp.h"
#include "seriallink/PortName.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {

// By application object: commissioning workers each hold a link of their own, on threads of their own.
std::mutex chosenLock;
std::map<const CNetConfigApp*, PortChoice> chosen;

} // namespace

QString ResolvePort(const QString& port, PortChoice& choice) {
    const QString name = port.trimmed();
    if (name.isEmpty())
        return QStringLiteral("--port needs COM1 to COM%1 or a device.").arg(LastAddressableComPort);
    // Every name of this form is a COM port: none of them may fall through to a file of that name, nor
    // may a misspelt one ("COMx", "COM1:").
    // Compared, not matched with QRegularExpression: commissioning workers run this (see CPortWork).
    const bool comForm = name.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive);
    const QStringView digits = QStringView(name).mid(3);
    const bool comPort =
        comForm && !digits.isEmpty() &&
        std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (comForm && !comPort)
        return QStringLiteral("--port %1 is no port name: use COM1 to COM%2 (COMn, n a number) or a device.")
            .arg(name)
            .arg(LastAddressableComPort);
    if (!comPort) {
        choice = {name, DeviceNamed(name.toStdString())};
        return {};
    }
    bool inRange = false;
    const int number = digits.toInt(&inRange);
    if (!inRange || number < FirstComPort || number > LastAddressableComPort)
        return QStringLiteral("--port %1 is out of range: use COM1 to COM%2 or a device.")
            .arg(name)
            .arg(LastAddressableComPort);
    const ComPortMapping mapping = ResolveComPort(number);
    if (mapping.listError)
        return QStringLiteral("Cannot tell which device COM%1 is: the serial ports could not be listed (%2).")
            .arg(number)
            .arg(QString::fromStdString(mapping.listError.message()));
    if (mapping.source == ComPortSource::Nothing)
        return QStringLiteral("No serial port is behind COM%1. Map it with %2=DEVICE (for example "
                              "%2=/dev/serial/by-id/usb-...), or give the device itself as --port.")
            .arg(number)
            .arg(QString::fromStdString(ComPortVariable(number)));
    choice = {QStringLiteral("COM%1").arg(number), mapping.device};
    return {};
}

QString SelectPort(CNetConfigApp& app, const QString& port) {
    PortChoice choice;
    QString refused = ResolvePort(port, choice);
    const std::lock_guard lock(chosenLock);
    if (!refused.isEmpty()) {
        chosen.erase(&app);
        return refused;
    }
    app.m_SerialComm.m_strDeviceName = choice.device;
    chosen[&app] = std::move(choice);
    return {};
}

QString PortDescription(const CNetConfigApp& app) {
    const QString device = QString::fromStdString(app.m_SerialComm.m_strDeviceName);
    const QString name = ChosenPort(app).name;
    return name == device || name.isEmpty() ? device : QStringLiteral("%1 (%2)").arg(name, device);
}

PortChoice ChosenPort(const CNetConfigApp& app) {
    const std::lock_guard lock(chosenLock);
    const auto found = chosen.find(&app);
    return found != chosen.end() ? found->second : PortChoice{};
}
