#include "ui/HelpTopic.h"

#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// The part of the path after the last dot of its file name, with that dot; empty without one.
qsizetype ExtensionStart(const QString& path) {
    const qsizetype nameStart = path.lastIndexOf(QDir::separator()) + 1;
    const qsizetype dot = path.lastIndexOf('.');
    return dot >= nameStart ? dot : path.size();
}

} // namespace

QString HelpFilePathFor(const QString& executablePath) {
    return executablePath.left(ExtensionStart(executablePath)) + QStringLiteral(".HLP");
}

QString AppHelpFilePath() {
    return HelpFilePathFor(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
}

bool OpenHelpTopic(QWidget* window, const QString& helpFile, unsigned command, quintptr data) {
    const QString page = helpFile.left(ExtensionStart(helpFile)) + QStringLiteral(".html");
    if (!QFileInfo(page).isFile()) {
        SystemMessageBox(window, QStringLiteral("The help page %1 could not be found.").arg(page),
                    ApplicationName(), mb::OK | mb::ICONEXCLAMATION);
        return false;
    }
    QUrl url = QUrl::fromLocalFile(page);
    if (command == help::CONTEXT)
        url.setFragment(QStringLiteral("context-%1").arg(data));
    if (!QDesktopServices::openUrl(url)) {
        SystemMessageBox(window, QStringLiteral("No browser could open the help page %1.").arg(page),
                    ApplicationName(), mb::OK | mb::ICONEXCLAMATION);
        return false;
    }
    return true;
}
