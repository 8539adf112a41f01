#include "app/NetConfigApp.h"
#include "link/MessageBoxSink.h"
#include "res/Version.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // theApp holds no Qt object yet: the link creates its port only when it opens.
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(ExecutableVersion);
    theApp.m_pMessageSink = &MessageBoxSink();
    theApp.InitInstance();
    // The dialog's result is not examined: closing it always ends the process normally.
    return 0;
}
