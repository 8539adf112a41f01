#include "ui/ComPortTips.h"

#include "seriallink/PortList.h"
#include "seriallink/PortName.h"

#include <QComboBox>
#include <QEvent>

#include <algorithm>

QString ComPortTip(int number, const ComPortMapping& mapping, const std::vector<PresentPort>& present) {
    const QString device = QString::fromStdString(mapping.device);
    const QString variable = QString::fromStdString(ComPortVariable(number));
    switch (mapping.source) {
    case ComPortSource::Variable:
        return QStringLiteral("Com%1 reaches %2 (set by %3).").arg(number).arg(device, variable);
    case ComPortSource::Present:
        return QStringLiteral("Com%1 reaches %2 (serial port %1 of those present).").arg(number).arg(device);
    case ComPortSource::System: {
        const bool listed = std::any_of(present.begin(), present.end(),
                                        [&](const PresentPort& port) { return port.device == mapping.device; });
        return listed ? QStringLiteral("Com%1 reaches %2.").arg(number).arg(device)
                      : QStringLiteral("Com%1 reaches %2, which the system does not list as present now.")
                            .arg(number)
                            .arg(device);
    }
    case ComPortSource::Nothing:
        break;
    }
    return QStringLiteral("No serial port is behind Com%1: plug in an adapter, or name its device with %2.")
        .arg(number)
        .arg(variable);
}

CComPortTips::CComPortTips(QComboBox& list) : QStandardItemModel(&list), m_list(list) {
    // The list deletes the model it owns when it is given another, and forgets its choice: its
    // entries move over first, and the choice is made again.
    const int current = list.currentIndex();
    if (auto* entries = qobject_cast<QStandardItemModel*>(list.model()))
        while (entries->rowCount() > 0)
            appendRow(entries->takeRow(0));
    list.setModel(this);
    list.setCurrentIndex(current);
    list.installEventFilter(this);
}

QVariant CComPortTips::data(const QModelIndex& index, int role) const {
    if (role != Qt::ToolTipRole || !index.isValid())
        return QStandardItemModel::data(index, role);
    const std::vector<PresentPort> present = ListPresentPorts();
    const int number = index.row() + 1;
    return ComPortTip(number, ResolveComPort(number, present), present);
}

bool CComPortTips::eventFilter(QObject* /*watched*/, QEvent* event) {
    // The list's own tip is a property, shown as it stands: work it out as it is about to show.
    if (event->type() == QEvent::ToolTip)
        m_list.setToolTip(data(index(m_list.currentIndex(), 0), Qt::ToolTipRole).toString());
    return false;
}
