#pragma once

#include "seriallink/serial/PortList.h"

#include <QComboBox>
#include <QString>

struct ComPortMapping;

// The tooltip of COM port `number`: the device it reaches and what tells that device apart, or why no
// port is behind it. On Windows the link opens COMn whether or not the system lists it, so a port
// missing from `present` still reaches its name, and the tip says that the system does not list it now.
QString ComPortTip(int number, const ComPortMapping& mapping, const PortListing& present);

// The COM port list (entry i is COM port i + 1). Its tips are worked out from the ports present when
// the user hovers over the list or opens it, so that an adapter plugged in or pulled while the dialog is
// open shows, and no port is scanned before the window shows.
class CComPortList : public QComboBox {
public:
    explicit CComPortList(QWidget* parent, DeviceTree tree = {});

    void showPopup() override;

protected:
    bool event(QEvent* event) override;

private:
    QString CurrentTip(const PortListing& present) const;

    DeviceTree m_tree;
};
