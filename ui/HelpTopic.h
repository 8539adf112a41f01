#pragma once

#include <QString>

class QWidget;

// Help commands.
namespace help {
inline constexpr unsigned CONTEXT = 0x0001;
}

// The help file of an executable: its path with the extension replaced by "HLP", or with ".HLP"
// appended where the file name has no extension.
QString HelpFilePathFor(const QString& executablePath);

// The help file of the executable at this path: beside it where its page is (the build tree, a
// Windows folder), else in `installedDir`, relative to the executable's folder, where the installed
// page is; beside it again when neither has the page, so that the message names the usual place.
QString FindHelpFile(const QString& executablePath, const QString& installedDir);

// The running executable's help file.
QString AppHelpFilePath();

// Opens the help topic. The help file stands for the HTML page beside it with the same name and the
// extension ".html", which opens in the desktop's browser (help::CONTEXT picks the topic's anchor).
// A missing page or a failure to open it is told to the user; returns false when that is known at
// once. Where the desktop's opener (xdg-open) only tells later, by its exit status, the message
// follows when it has ended.
bool OpenHelpTopic(QWidget* window, const QString& helpFile, unsigned command, quintptr data);
