#include "cli/MessageCapture.h"

#include "app/NetConfigApp.h"
#include "cli/LineTrace.h"
#include "cli/Output.h"
#include "platform/MessageBoxTypes.h"

int CTerminalSink::ShowAppMessage(const QString& text, unsigned /*type*/) {
    const std::optional<QString> openFailure = m_watch.TakeOpenFailure();
    Show(openFailure ? *openFailure : text);
    return mb::RESULT_OK;
}

int CTerminalSink::ShowSystemMessage(const QString& text, const QString& caption, unsigned /*type*/) {
    const std::optional<QString> openFailure = m_watch.TakeOpenFailure();
    Show(openFailure ? *openFailure : caption + QStringLiteral(": ") + text);
    return mb::RESULT_OK;
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
    return texts.join(' ');
}

CScopedSink::CScopedSink(CNetConfigApp& app, CMessageSink& sink) : m_app(app), m_pPrevious(app.m_pMessageSink) {
    app.m_pMessageSink = &sink;
}

CScopedSink::~CScopedSink() {
    m_app.m_pMessageSink = m_pPrevious;
}
