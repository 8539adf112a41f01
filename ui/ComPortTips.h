#pragma once

#include "seriallink/PortList.h"

#include <QStandardItemModel>
#include <QString>

#include <vector>

class QComboBox;
struct ComPortMapping;

// The tooltip of COM port `number`: the device it reaches, or that no port is behind it. On Windows
// the link opens COMn whether or not the system lists it, so a port missing from `present` still
// reaches its name, and the tip says that the system does not list it now.
QString ComPortTip(int number, const ComPortMapping& mapping, const std::vector<PresentPort>& present);

// The tooltips of a COM port list (entry i is COM port i + 1), worked out each time one is asked for,
// so that an adapter plugged in or pulled while the dialog is open shows in the next tip. The list's
// entries live in it, and the list owns it.
class CComPortTips : public QStandardItemModel {
public:
    explicit CComPortTips(QComboBox& list);

    QVariant data(const QModelIndex& index, int role) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox& m_list;
};
