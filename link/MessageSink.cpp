#include "link/MessageSink.h"

#include "platform/MessageBoxTypes.h"

CMessageSink::~CMessageSink() = default;

int CStreamMessageSink::ShowAppMessage(const QString& text, unsigned /*type*/) {
    WriteLine(text);
    return mb::RESULT_OK;
}

int CStreamMessageSink::ShowSystemMessage(const QString& text, const QString& caption, unsigned /*type*/) {
    // The system's texts may end in a line break of their own (CR LF on Windows).
    WriteLine(caption + QStringLiteral(": ") + text.trimmed());
    return mb::RESULT_OK;
}

void CStreamMessageSink::WriteLine(const QString& text) {
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_pStream);
    std::fflush(m_pStream);
    ++m_nShown;
}
