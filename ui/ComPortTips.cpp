#include "ui/ComPortTips.h"

#include "seriallink/PortList.h"
#include "seriallink/PortName.h"

#include <QAbstractItemView>

#include <algorithm>
#include <QComboBox>
#include <QEvent>

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

CComPortTips::CComPortTips(QComboBox& list) : QObject(&list), m_list(list) {
    list.installEventFilter(this);
    list.view()->installEventFilter(this);
    list.view()->viewport()->installEventFilter(this);
}

bool CComPortTips::eventFilter(QObject* /*watched*/, QEvent* event) {
    // Show: the dialog or the list's popup opens. ToolTip: the list or one of its entries is hovered.
    if (event->type() == QEvent::Show || event->type() == QEvent::ToolTip)
        Refresh();
    return false;
}

void CComPortTips::Refresh() {
    const std::vector<PresentPort> present = ListPresentPorts();
    for (int index = 0; index < m_list.count(); ++index)
        m_list.setItemData(index, ComPortTip(index + 1, ResolveComPort(index + 1, present), present), Qt::ToolTipRole);
    m_list.setToolTip(m_list.itemData(m_list.currentIndex(), Qt::ToolTipRole).toString());
}
