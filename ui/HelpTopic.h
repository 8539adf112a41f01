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

// The running executable's help file.
QString AppHelpFilePath();

// Opens the help topic. The help file stands for the HTML page beside it with the same name and the
// extension ".html", which opens in the desktop's browser (help::CONTEXT picks the topic's anchor).
// A missing page or a failure to open it is told to the user; returns false then.
bool OpenHelpTopic(QWidget* window, const QString& helpFile, unsigned command, quintptr data);
