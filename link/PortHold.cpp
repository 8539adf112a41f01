#include "link/PortHold.h"

#include "app/NetConfigApp.h"

CPortHold::CPortHold(CNetConfigApp& app, Silence silence)
    : m_link(app.m_SerialComm), m_bOuter(!m_link.IsHeld()) {
    if (m_bOuter)
        m_link.Hold(silence == Silence::KeepsOpen);
}

CPortHold::~CPortHold() {
    if (m_bOuter)
        m_link.Release();
}
