#include "cli/MessageCapture.h"

#include "app/NetConfigApp.h"
#include "cli/LineTrace.h"
#include "cli/Output.h"
#include "platform/MessageBoxTypes.h"

namespace {

// The link's own texts for its results; the attribute actions' come as exclamations.
bool IsLinkMessage(unsigned type) {
    return (type & mb::ICONINFORMATION) == mb::ICONINFORMATION;
}

} // namespace

int CTerminalSink::ShowAppMessage(const QString& text, unsigned type) {
    Tell(text, type);
    return mb::RESULT_OK;
}

int CTerminalSink::ShowSystemMessage(const QString& text, const QString& caption, unsigned type) {
    Tell(caption + QStringLiteral(": ") + text, type);
    return mb::RESULT_OK;
}

// A port that did not open is told with its device and the system's reason. A refusal is told with the
// status the controller answered, in place of the link's text for it, and without the advice to check
// the cable, which a controller that answered does not need.
void CTerminalSink::Tell(const QString& text, unsigned type) {
    if (const std::optional<QString> openFailure = m_watch.TakeOpenFailure()) {
        Show(*openFailure);
        return;
    }
    if (m_watch.Failure() != LinkFailure::ControllerRefused) {
        Show(IsLinkMessage(type) ? m_watch.LineFailureText(text) : text);
        return;
    }
    if (const std::optional<QString> refusal = m_watch.TakeRefusal())
        Show(*refusal);
    if (!IsLinkMessage(type))
        Show(WithoutCableAdvice(TerminalText(text)));
}

void CTerminalSink::Show(const QString& line) {
    m_shown << TerminalText(line);
    if (m_bPrint)
        PrintErrorLine(m_shown.last());
}

int CCollectingSink::ShowAppMessage(const QString& text, unsigned type) {
    m_messages.push_back({text, QString(), type});
    return mb::RESULT_OK;
}

int CCollectingSink::ShowSystemMessage(const QString& text, const QString& caption, unsigned type) {
    m_messages.push_back({text, caption, type});
    return mb::RESULT_OK;
}

void CCollectingSink::Forget(const QString& text) {
    std::erase_if(m_messages, [&text](const Message& message) { return message.text == text; });
}

void CCollectingSink::Replay(CMessageSink& sink) const {
    for (const Message& message : m_messages) {
        if (message.caption.isEmpty())
            sink.ShowAppMessage(message.text, message.type);
        else
            sink.ShowSystemMessage(message.text, message.caption, message.type);
    }
}

QString CCollectingSink::Text() const {
    QStringList texts;
    for (const Message& message : m_messages)
        texts << TerminalText(message.caption.isEmpty() ? message.text
                                                        : message.caption + ": " + message.text);
    return texts.join('\n');
}

CScopedSink::CScopedSink(CNetConfigApp& app, CMessageSink& sink)
    : m_app(app), m_pPrevious(app.m_pMessageSink) {
    app.m_pMessageSink = &sink;
}

CScopedSink::~CScopedSink() {
    m_app.m_pMessageSink = m_pPrevious;
}
