#include "cli/commission/PortReader.h"

#include "cli/CommandLine.h"
#include "cli/PortChoice.h"
#include "cli/commission/RowDecision.h"
#include "link/PortHold.h"

CPortReader::CPortReader(const QString& port, const Invocation& invocation, const std::atomic<bool>& stop)
    : m_invocation(invocation), m_stop(stop) {
    m_app.m_pMessageSink = &m_messages;
    m_app.m_SerialComm.m_pTrace = &m_watch;
    m_portRefusal = SelectPort(m_app, port);
}

ExitStatus CPortReader::Read(Backup& held) {
    if (!m_portRefusal.isEmpty()) {
        m_messages.m_shown << m_portRefusal;
        return ExitRefused;
    }
    const Run run = LinkRun();
    const CPortHold hold(m_app);
    return ReadController(run, held);
}

Run CPortReader::LinkRun() {
    return {m_invocation, m_watch, m_app, &m_stop, &m_messages};
}

QString CPortReader::Messages() const {
    return m_messages.m_shown.join('\n');
}

void CPortReader::ClearMessages() {
    m_messages.m_shown.clear();
}

QString CPortReader::Device() const {
    return QString::fromStdString(ChosenPort(m_app).device);
}
