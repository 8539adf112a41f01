#include "ui/HelpTopic.h"

#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QUrl>
#include <QWidget>

namespace {

// The part of the path after the last dot of its file name, with that dot; empty without one.
qsizetype ExtensionStart(const QString& path) {
    const qsizetype nameStart = path.lastIndexOf(QDir::separator()) + 1;
    const qsizetype dot = path.lastIndexOf('.');
    return dot >= nameStart ? dot : path.size();
}

void SayNoProgramCouldOpen(QWidget* window, const QString& page) {
    SystemMessageBox(window, QStringLiteral("No program could open the help page %1.").arg(page),
                     ApplicationName(), mb::OK | mb::ICONEXCLAMATION);
}

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
// QDesktopServices hands the page to xdg-open and reports success once that has started, before it
// has found a browser; so run it here and heed its exit status. It may run as long as the browser it
// starts, so it is not waited for, and it outlives the window rather than be killed with it.
bool OpenInDesktop(QWidget* window, const QUrl& url, const QString& page) {
    auto* opener = new QProcess;
    const QPointer<QWidget> owner(window);
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, owner, page](int code, QProcess::ExitStatus how) {
                         if (how != QProcess::NormalExit || code != 0)
                             SayNoProgramCouldOpen(owner, page);
                         opener->deleteLater();
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, owner, page](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             SayNoProgramCouldOpen(owner, page);
                             opener->deleteLater();
                         }
                     });
    opener->setProcessChannelMode(QProcess::ForwardedChannels); // its own complaints reach the terminal
    opener->start(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
    return true;
}
#else
bool OpenInDesktop(QWidget* window, const QUrl& url, const QString& page) {
    if (QDesktopServices::openUrl(url))
        return true;
    SayNoProgramCouldOpen(window, page);
    return false;
}
#endif

QString HelpPageFor(const QString& helpFile) {
    return helpFile.left(ExtensionStart(helpFile)) + QStringLiteral(".html");
}

} // namespace

QString HelpFilePathFor(const QString& executablePath) {
    return executablePath.left(ExtensionStart(executablePath)) + QStringLiteral(".HLP");
}

QString FindHelpFile(const QString& executablePath, const QString& installedDir) {
    const QString beside = HelpFilePathFor(executablePath);
    if (QFileInfo(HelpPageFor(beside)).isFile())
        return beside;
    const QFileInfo executable(executablePath);
    const QString installed = QDir::toNativeSeparators(QDir::cleanPath(
        executable.path() + '/' + installedDir + '/' + HelpFilePathFor(executable.fileName())));
    return QFileInfo(HelpPageFor(installed)).isFile() ? installed : beside;
}

QString AppHelpFilePath() {
    return FindHelpFile(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()),
                        QStringLiteral(TALVOR_INSTALLED_HELP_DIR));
}

bool OpenHelpTopic(QWidget* window, const QString& helpFile, unsigned command, quintptr data) {
    const QString page = HelpPageFor(helpFile);
    if (!QFileInfo(page).isFile()) {
        SystemMessageBox(window, QStringLiteral("The help page %1 could not be found.").arg(page),
                         ApplicationName(), mb::OK | mb::ICONEXCLAMATION);
        return false;
    }
    QUrl url = QUrl::fromLocalFile(page);
    if (command == help::CONTEXT)
        url.setFragment(QStringLiteral("context-%1").arg(data));
    return OpenInDesktop(window, url, page);
}
