#include "app/NetConfigApp.h"
#include "ui/NetConfigDlg.h"

// Qt widgets host embedded controls and draw the platform's look without being asked, so start-up is
// the main dialog alone.
bool CNetConfigApp::InitInstance() {
    CNetConfigDlg dlg;
    dlg.exec();
    return false;
}
