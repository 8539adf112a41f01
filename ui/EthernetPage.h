#pragma once

#include "ui/AttributePage.h"

class CIPAddressCtrl;
class QLineEdit;

// The Ethernet page: IP address, subnet mask and gateway of the Ethernet record, whatever the current
// network type. The connect timeout and poll time travel through hidden edits; the port number is
// written into its hidden edit and never read back.
class CEthernetPage : public CAttributePage {
    Q_OBJECT
public:
    explicit CEthernetPage(QWidget* parent);
    ~CEthernetPage() override;

    void ShowRecord();
    // Stores the page into the Ethernet record; every input is acceptable, so this is always true.
    bool SaveToRecord();

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;

private:
    QLineEdit* m_edPortNumber = nullptr;
    CIPAddressCtrl* m_ipGateway = nullptr;
    CIPAddressCtrl* m_ipSubnetMask = nullptr;
    CIPAddressCtrl* m_ipAddress = nullptr;
    QLineEdit* m_edTimeout = nullptr;
    QLineEdit* m_edPollTime = nullptr;
};
