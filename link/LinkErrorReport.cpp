#include "app/NetConfigApp.h"
#include "link/LinkMessageTable.h"
#include "link/MessageSink.h"
#include "link/ResourceText.h"
#include "platform/LastError.h"
#include "platform/MessageBoxTypes.h"
#include "res/StringTable.h"

namespace {

constexpr unsigned kLinkErrorBoxType = mb::OK | mb::ICONINFORMATION;

// The system ends some texts with a line break (Windows: "\r\n"), which a message box would show as
// an empty last line.
QString WithoutTrailingBreak(QString text) {
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    return text;
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
    Messages().ShowSystemMessage(WithoutTrailingBreak(QString::fromLocal8Bit(systemText)),
                                 QStringLiteral("Error"), kLinkErrorBoxType | mb::TASKMODAL);
}

int CNetConfigApp::ShowStringMessage(unsigned id, unsigned type, const std::vector<std::string>& args) {
    const QString format = LoadResourceString(id);
    if (format.isEmpty()) {
        Messages().ShowAppMessage(QStringLiteral("Unable to load error string from resources."), mb::OK);
        return 1;
    }
    return Messages().ShowAppMessage(FormatResourceText(format, args), type);
}

CMessageSink& CNetConfigApp::Messages() {
    // Without a sink of the executable's choice nothing may be lost: standard error.
    static CStreamMessageSink standardError(stderr);
    return m_pMessageSink ? *m_pMessageSink : standardError;
}
