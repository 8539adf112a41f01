#include "app/NetConfigApp.h"
#include "link/MessageBoxSink.h"
#include "res/Version.h"

#include <QApplication>

int main(int argc, char* argv[]) {
#ifdef _WIN32
    // Qt's GDI font engine leaves edit fields without text on some systems; DirectWrite draws them, and
    // sharper at high DPI. A platform the user names, in the environment or with -platform, still wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=directwrite");
#endif
    // theApp holds no Qt object yet: the link creates its port only when it opens.
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(ExecutableVersion);
    theApp.m_pMessageSink = &MessageBoxSink();
    theApp.InitInstance();
    // The dialog's result is not examined: closing it always ends the process normally.
    return 0;
}
