#pragma once

#include "seriallink/PortList.h"

#include <QObject>
#include <QString>

#include <vector>

class QComboBox;
struct ComPortMapping;

// The tooltip of COM port `number`: the device it reaches, or that no port is behind it. On Windows
// the link opens COMn whether or not the system lists it, so a port missing from `present` still
// reaches its name, and the tip says that the system does not list it now.
QString ComPortTip(int number, const ComPortMapping& mapping, const std::vector<PresentPort>& present);

// Keeps the tooltips of a COM port list (entry i is COM port i + 1) current: an adapter plugged in or
// pulled while the dialog is open shows the next time the list is shown, opened or hovered.
class CComPortTips : public QObject {
public:
    explicit CComPortTips(QComboBox& list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refresh();

    QComboBox& m_list;
};
