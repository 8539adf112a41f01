#include "app/NetConfigApp.h"

CNetConfigApp theApp;

CNetConfigApp::CNetConfigApp()
    : m_ProfibusAttr(NetworkProfibus), m_DeviceNetAttr(NetworkDeviceNet), m_EthernetAttr(NetworkEthernet),
      m_nNetworkType(NetworkNone), m_nHiddenSel1(1), m_nHiddenSel2(1), m_nComPort(0),
      m_pMessageSink(nullptr) {}

CNetConfigApp::~CNetConfigApp() = default;

CNetAttributes& GetCurrentAttributes() {
    switch (theApp.m_nNetworkType) {
    case NetworkDeviceNet:
        return theApp.m_DeviceNetAttr;
    case NetworkProfibus:
        return theApp.m_ProfibusAttr;
    default:
        return theApp.m_EthernetAttr;
    }
}
