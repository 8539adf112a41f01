#include "ui/ComPortList.h"

#include "seriallink/network/NetworkErrors.h"
#include "seriallink/network/NetworkPort.h"
#include "seriallink/network/PortUrl.h"
#include "seriallink/serial/PortFacts.h"
#include "seriallink/serial/PortName.h"

#include <QEvent>
#include <QStringList>

#include <optional>
#include <utility>

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString FirstSentence(int number, const ComPortMapping& mapping, bool found) {
    const QString device = Text(mapping.device);
    const QString variable = Text(ComPortVariable(number));
    switch (mapping.source) {
    case ComPortSource::Variable:
        return (found ? QStringLiteral("Com%1 reaches %2 (set by %3).")
                      : QStringLiteral("Com%1 reaches %2 (set by %3), which does not exist."))
            .arg(number)
            .arg(device, variable);
    case ComPortSource::Present:
        return QStringLiteral("Com%1 reaches %2 (serial port %1 of those present).").arg(number).arg(device);
    case ComPortSource::System:
        return (found ? QStringLiteral("Com%1 reaches %2.")
                      : QStringLiteral("Com%1 reaches %2, which the system does not list as present now."))
            .arg(number)
            .arg(device);
    case ComPortSource::Nothing:
        break;
    }
    if (mapping.listError)
        return QStringLiteral("Com%1 reaches no port: the serial ports could not be listed (%2).")
            .arg(number)
            .arg(Text(mapping.listError.message()));
    return QStringLiteral("No serial port is behind Com%1: plug in an adapter, or name its device with %2.")
        .arg(number)
        .arg(variable);
}

// What a user of a port on a device server needs to know: which server and how the line is set, why
// its address is refused, or why the last attempt to reach it failed.
QStringList NetworkPortLines(int number, const ComPortMapping& mapping) {
    QStringList lines{QStringLiteral("Com%1 reaches %2 (set by %3).")
                          .arg(number)
                          .arg(Text(mapping.device), Text(ComPortVariable(number)))};
    std::string malformed;
    const std::optional<PortUrl> url = ParsePortUrl(mapping.device, malformed);
    if (!url)
        return lines << QStringLiteral("That is no port address: %1.").arg(Text(malformed));
    const QString server =
        QStringLiteral("Port %1 of the serial device server %2").arg(url->port).arg(Text(url->host));
    lines << (url->protocol == PortUrl::Protocol::Rfc2217
                  ? server + QStringLiteral(", over RFC 2217: the utility sets the server's line itself.")
                  : server + QStringLiteral(", over raw TCP: the server's line must be set up for the "
                                            "controller (19200 bit/s, 8N1, no flow control)."));
    if (const std::optional<std::uint32_t> failure = LastNetworkOpenError(mapping.device)) {
        std::string reason = LinkErrorText(*failure);
        if (const std::string remark = LastNetworkOpenRemark(mapping.device); !remark.empty())
            reason += "; " + remark;
        lines << QStringLiteral("The last attempt to reach it failed: %1.").arg(Text(reason));
    }
    return lines;
}

} // namespace

QString ComPortTip(int number, const ComPortMapping& mapping, const PortListing& present) {
    if (LooksLikeUrl(mapping.device))
        return NetworkPortLines(number, mapping).join('\n');
    const std::optional<PresentPort> port =
        mapping.device.empty() ? std::nullopt : FindDevice(present, mapping.device);
    QStringList lines{FirstSentence(number, mapping, port.has_value())};
    if (port) {
        if (const std::string identity = AdapterIdentity(*port); !identity.empty())
            lines << Text(identity) + '.';
        for (const std::string& note : PortNotes(*port))
            lines << Text(note);
    }
    // A named device is the user's own choice; elsewhere the user may wonder where the console went.
    if (mapping.source != ComPortSource::Variable)
        for (const std::string& note : UncountedConsoles(present, mapping.device, number))
            lines << Text(note);
    return lines.join('\n');
}

CComPortList::CComPortList(QWidget* parent, DeviceTree tree) : QComboBox(parent), m_tree(std::move(tree)) {}

void CComPortList::showPopup() {
    const PortListing present = ListPresentPorts(m_tree);
    for (int index = 0; index < count(); ++index)
        setItemData(index, ComPortTip(index + 1, ResolveComPort(index + 1, present), present),
                    Qt::ToolTipRole);
    setToolTip(CurrentTip(present));
    QComboBox::showPopup();
}

bool CComPortList::event(QEvent* event) {
    // The list's own tip is the chosen entry's, as it is now.
    if (event->type() == QEvent::ToolTip)
        setToolTip(CurrentTip(ListPresentPorts(m_tree)));
    return QComboBox::event(event);
}

QString CComPortList::CurrentTip(const PortListing& present) const {
    const int number = currentIndex() + 1;
    return currentIndex() < 0 ? QString() : ComPortTip(number, ResolveComPort(number, present), present);
}
