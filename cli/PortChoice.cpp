#include "cli/PortChoice.h"

#include "app/NetConfigApp.h"
#include "seriallink/network/NetworkErrors.h"
#include "seriallink/network/PortUrl.h"
#include "seriallink/network/TcpConnection.h"
#include "seriallink/serial/PortName.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

// By application object: commissioning workers each hold a link of their own, on threads of their own.
std::mutex chosenLock;
std::map<const CNetConfigApp*, PortChoice> chosen;

PortChoice Chosen(const QString& name, const std::string& device) {
    // Both protocols reach the same port of a server: one identity for every name of it.
    std::string malformed;
    if (const std::optional<PortUrl> url = ParsePortUrl(device, malformed))
        return {name, device, QStringLiteral("tcp:") + QString::fromStdString(url->Endpoint()), {}};
    const QString path = QString::fromStdString(device);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return {name, device, canonical.isEmpty() ? path.toUpper() : canonical, {}};
}

// Why `device`, a URL, names no port on a device server; empty for a well-formed URL or no URL.
QString UrlFault(const std::string& device) {
    std::string malformed;
    return LooksLikeUrl(device) && !ParsePortUrl(device, malformed) ? QString::fromStdString(malformed)
                                                                    : QString();
}

// Why the device a port leads to cannot be a serial port, or an empty text. A device server's port is
// only found out by reaching it.
QString DeviceFault([[maybe_unused]] const PortChoice& choice) {
#ifdef _WIN32
    return {};
#else
    if (LooksLikeUrl(choice.device))
        return {};
    const QString device = QString::fromStdString(choice.device);
    const QString port =
        choice.name == device ? choice.name : QStringLiteral("%1 (%2)").arg(choice.name, device);
    struct stat status {};
    if (::stat(choice.device.c_str(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR
                   ? QStringLiteral("port %1 is not there: no such device (is the adapter plugged in?)")
                         .arg(port)
                   : QStringLiteral("port %1 cannot be looked at: %2")
                         .arg(port, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISCHR(status.st_mode))
        return QStringLiteral("port %1 is no serial port: not a character device").arg(port);
    return {};
#endif
}

// Looks the host of a device server's port up: why it cannot be, or an empty text with the addresses
// filled in. Nothing to do for a serial device.
QString LookUpServer(PortChoice& choice) {
    std::string malformed;
    std::optional<PortUrl> url = ParsePortUrl(choice.device, malformed);
    if (!url)
        return {};
    std::vector<std::string> addresses;
    if (const std::uint32_t error = HostAddresses(url->host, NetworkTimeouts{}.lookup, addresses); error != 0)
        return QStringLiteral("port %1 is not there: %2")
            .arg(choice.name, QString::fromStdString(LinkErrorText(error)));
    choice.addresses.clear();
    for (const std::string& address : addresses) {
        url->host = address;
        choice.addresses << QStringLiteral("tcp:") + QString::fromStdString(url->Endpoint());
    }
    choice.addresses.sort();
    choice.identity = choice.addresses.first();
    return {};
}

} // namespace

QString ResolvePort(const QString& port, PortChoice& choice, PortSource source) {
    const bool plan = source == PortSource::PlanColumn;
    const QString named = plan ? QStringLiteral("port") : QStringLiteral("--port");
    const QString name = port.trimmed();
    if (name.isEmpty())
        return QStringLiteral("%1 needs COM1 to COM%2 or a device.")
            .arg(plan ? QStringLiteral("The port column") : named)
            .arg(LastAddressableComPort);
    // Every name of this form is a COM port: none of them may fall through to a file of that name, nor
    // may a misspelt one ("COMx", "COM1:").
    // Compared, not matched with QRegularExpression: its per-thread JIT stack kept the Windows build from
    // ending once a worker thread had used it.
    const bool comForm = name.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive);
    const QStringView digits = QStringView(name).mid(3);
    const bool comPort =
        comForm && !digits.isEmpty() &&
        std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (comForm && !comPort)
        return QStringLiteral("%1 %2 is no port name: use COM1 to COM%3 (COMn, n a number) or a device.")
            .arg(named, name)
            .arg(LastAddressableComPort);
    if (!comPort && LooksLikeUrl(name.toStdString())) {
        if (const QString malformed = UrlFault(name.toStdString()); !malformed.isEmpty())
            return QStringLiteral("%1 %2 is no port address: %3.").arg(named, name, malformed);
        choice = Chosen(name, name.toStdString());
        return {};
    }
    if (!comPort) {
        choice = Chosen(name, DeviceNamed(name.toStdString()));
        return {};
    }
    bool inRange = false;
    const int number = digits.toInt(&inRange);
    if (!inRange || number < FirstComPort || number > LastAddressableComPort)
        return QStringLiteral("%1 %2 is out of range: use COM1 to COM%3 or a device.")
            .arg(named, name)
            .arg(LastAddressableComPort);
    const ComPortMapping mapping = ResolveComPort(number);
    if (mapping.listError)
        return QStringLiteral("Cannot tell which device COM%1 is: the serial ports could not be listed (%2).")
            .arg(number)
            .arg(QString::fromStdString(mapping.listError.message()));
    if (mapping.source == ComPortSource::Nothing)
        return QStringLiteral("No serial port is behind COM%1. Map it with %2=DEVICE (for example "
                              "%2=/dev/serial/by-id/usb-...), or give the device itself %3.")
            .arg(number)
            .arg(QString::fromStdString(ComPortVariable(number)),
                 plan ? QStringLiteral("in the port column") : QStringLiteral("as --port"));
    if (const QString malformed = UrlFault(mapping.device); !malformed.isEmpty())
        return QStringLiteral("COM%1 is mapped by %2 to %3, which is no port address: %4.")
            .arg(number)
            .arg(QString::fromStdString(ComPortVariable(number)), QString::fromStdString(mapping.device),
                 malformed);
    choice = Chosen(QStringLiteral("COM%1").arg(number), mapping.device);
    return {};
}

QString ResolvePlanPort(const QString& port, PortChoice& choice) {
    if (QString refused = ResolvePort(port, choice, PortSource::PlanColumn); !refused.isEmpty())
        return refused;
    if (QString fault = DeviceFault(choice); !fault.isEmpty())
        return fault;
    return LookUpServer(choice);
}

QString SelectPort(CNetConfigApp& app, const QString& port) {
    PortChoice choice;
    QString refused = ResolvePort(port, choice);
    if (!refused.isEmpty()) {
        const std::lock_guard lock(chosenLock);
        chosen.erase(&app);
        return refused;
    }
    SelectPort(app, choice);
    return {};
}

void SelectPort(CNetConfigApp& app, const PortChoice& choice) {
    const std::lock_guard lock(chosenLock);
    app.m_SerialComm.m_strDeviceName = choice.device;
    chosen[&app] = choice;
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

QJsonObject PortJson(const CNetConfigApp& app) {
    const PortChoice port = ChosenPort(app);
    return {{"port", port.name}, {"device", QString::fromStdString(port.device)}};
}

QJsonObject WithPort(const CNetConfigApp& app, QJsonObject json) {
    const QJsonObject port = PortJson(app);
    for (auto field = port.begin(); field != port.end(); ++field)
        json.insert(field.key(), field.value());
    return json;
}
