#include "link/PortHold.h"

#include "app/NetConfigApp.h"

CPortHold::CPortHold(CNetConfigApp& app, Silence silence)
    : m_link(app.m_SerialComm), m_bOuter(!m_link.m_bHeld) {
    if (!m_bOuter)
        return;
    m_link.m_bHeld = true;
    m_link.m_bKeepOpenWhenSilent = silence == Silence::KeepsOpen;
}

CPortHold::~CPortHold() {
    if (!m_bOuter)
        return;
    m_link.m_bHeld = false;
    m_link.m_bKeepOpenWhenSilent = false;
    m_link.CloseComPort();
}
