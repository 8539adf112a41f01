#include "app/NetConfigApp.h"
#include "link/LinkMessageTable.h"
#include "link/MessageSink.h"
#include "platform/LastError.h"
#include "platform/MessageBoxTypes.h"
#include "res/StringTable.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

constexpr unsigned kLinkErrorBoxType = mb::OK | mb::ICONINFORMATION;

// printf-style formatting of a resource text; a text the C library cannot format is shown as stored.
QString FormatResourceText(const QByteArray& format, va_list args) {
    va_list sizing;
    va_copy(sizing, args);
    const int length = std::vsnprintf(nullptr, 0, format.constData(), sizing);
    va_end(sizing);
    if (length < 0)
        return QString::fromUtf8(format);
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format.constData(), args);
    return QString::fromUtf8(text.data(), length);
}

} // namespace

void CNetConfigApp::ReportLinkError(std::uint32_t code) {
    if (IsSilentLinkResult(code))
        return;
    if (const auto stringId = LinkMessageStringId(code)) {
        ShowStringMessage(*stringId, kLinkErrorBoxType);
        return;
    }
    // Read first: nothing below may disturb what the failed link call left behind.
    const std::uint32_t lastError = LastSystemError();
    const std::string systemText = lastError != 0 ? SystemErrorText(lastError) : std::string();
    if (systemText.empty()) {
        ShowStringMessage(IDS_UNKNOWN_LINK_ERROR, kLinkErrorBoxType);
        return;
    }
    // Ownerless like the system's own box, yet task-modal so that no request starts while it is open.
    Messages().ShowSystemMessage(QString::fromLocal8Bit(systemText), QStringLiteral("Error"),
                                 kLinkErrorBoxType | mb::TASKMODAL);
}

int CNetConfigApp::ShowStringMessage(unsigned id, unsigned type, ...) {
    const QByteArray format = LoadResourceString(id).toUtf8();
    if (format.isEmpty()) {
        Messages().ShowAppMessage(QStringLiteral("Unable to load error string from resources."), mb::OK);
        return 1;
    }
    va_list args;
    va_start(args, type);
    const QString text = FormatResourceText(format, args);
    va_end(args);
    return Messages().ShowAppMessage(text, type);
}

CMessageSink& CNetConfigApp::Messages() {
    // Without a sink of the executable's choice nothing may be lost: standard error.
    static CStreamMessageSink standardError(stderr);
    return m_pMessageSink ? *m_pMessageSink : standardError;
}
