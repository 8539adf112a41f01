#include "app/NetConfigApp.h"
#include "platform/WindowStyles.h"
#include "ui/HelpTopic.h"
#include "ui/NetConfigDlg.h"

#include <QApplication>

bool CNetConfigApp::OnCommand(unsigned nID) {
    if (nID != id::HELP)
        return false;
    OnHelp();
    return true;
}

void CNetConfigApp::OnHelp() {
    OpenHelpTopic(QApplication::activeWindow(), AppHelpFilePath(), help::CONTEXT, HelpContextMainDialog);
}
