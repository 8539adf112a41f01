#include "app/NetConfigApp.h"
#include "link/LinkMessageTable.h"
#include "link/MessageSink.h"
#include "platform/LastError.h"
#include "platform/MessageBoxTypes.h"
#include "res/StringTable.h"

#include <cstdarg>

namespace {

constexpr unsigned kLinkErrorBoxType = mb::OK | mb::ICONINFORMATION;

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
    const QString text = LoadResourceString(id);
    if (text.isEmpty()) {
        Messages().ShowAppMessage(QStringLiteral("Unable to load error string from resources."), mb::OK);
        return 1;
    }
    // The link's texts carry no format directives, so without arguments each is shown exactly as stored.
    va_list arguments;
    va_start(arguments, type);
    const QString formatted = QString::vasprintf(text.toUtf8().constData(), arguments);
    va_end(arguments);
    return Messages().ShowAppMessage(formatted, type);
}

CMessageSink& CNetConfigApp::Messages() {
    // Without a sink of the executable's choice nothing may be lost: standard error.
    static CStreamMessageSink standardError(stderr);
    return m_pMessageSink ? *m_pMessageSink : standardError;
}
