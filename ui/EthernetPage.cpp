#include "ui/EthernetPage.h"

#include "app/NetConfigApp.h"
#include "model/Ipv4Address.h"
#include "platform/DialogBuilder.h"
#include "platform/IPAddressCtrl.h"
#include "res/EthernetPageTemplate.h"

#include <QLineEdit>

namespace {

void ReadAddress(const CIPAddressCtrl& control, std::uint8_t (&octets)[4]) {
    // A blank field reads 0; how many fields were filled does not matter here.
    control.GetAddress(octets[0], octets[1], octets[2], octets[3]);
}

} // namespace

CEthernetPage::CEthernetPage(QWidget* parent) : CAttributePage(IDD_ETHERNET_PAGE, parent) {
    Create();
}

CEthernetPage::~CEthernetPage() = default;

void CEthernetPage::DoDataExchange() {
    m_edPortNumber = GetDlgItemAs<QLineEdit>(*this, IDC_ED_PORT_NUMBER);
    m_ipGateway = GetDlgItemAs<CIPAddressCtrl>(*this, IDC_IP_GATEWAY);
    m_ipSubnetMask = GetDlgItemAs<CIPAddressCtrl>(*this, IDC_IP_SUBNET_MASK);
    m_ipAddress = GetDlgItemAs<CIPAddressCtrl>(*this, IDC_IP_ADDRESS);
    m_edTimeout = GetDlgItemAs<QLineEdit>(*this, IDC_ED_ETH_TIMEOUT);
    m_edPollTime = GetDlgItemAs<QLineEdit>(*this, IDC_ED_ETH_POLL_TIME);
}

bool CEthernetPage::OnInitDialog() {
    CAttributePage::OnInitDialog();
    ShowRecord();
    return true;
}

void CEthernetPage::ShowRecord() {
    const CNetAttributes record = theApp.m_EthernetAttr;
    SetNumber(*m_edTimeout, record.m_nTimeout);
    SetNumber(*m_edPollTime, record.m_nPollTime);
    m_ipAddress->SetAddress(PackedAddress(record.m_byIpAddress));
    m_ipSubnetMask->SetAddress(PackedAddress(record.m_bySubnetMask));
    m_ipGateway->SetAddress(PackedAddress(record.m_byGateway));
    SetNumber(*m_edPortNumber, record.m_nPortNumber);
}

bool CEthernetPage::SaveToRecord() {
    const int timeout = GetNumber(*m_edTimeout);
    const int pollTime = GetNumber(*m_edPollTime);
    CNetAttributes& record = theApp.m_EthernetAttr;
    record.m_nTimeout = timeout;
    record.m_nPollTime = pollTime;
    ReadAddress(*m_ipAddress, record.m_byIpAddress);
    ReadAddress(*m_ipSubnetMask, record.m_bySubnetMask);
    ReadAddress(*m_ipGateway, record.m_byGateway);
    return true;
}
