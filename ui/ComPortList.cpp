#include "ui/ComPortList.h"

#include "seriallink/PortFacts.h"
#include "seriallink/PortName.h"

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

} // namespace

QString ComPortTip(int number, const ComPortMapping& mapping, const PortListing& present) {
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
        setItemData(index, ComPortTip(index + 1, ResolveComPort(index + 1, present), present), Qt::ToolTipRole);
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
