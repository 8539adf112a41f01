#pragma once

#include <QDialog>

// The About box: icon, name and version, and one line on what the utility does. OK, Enter, Escape and
// the close command end it.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg();
    ~CAboutDlg() override;

    // Runs the box modally over the application's active window and returns the id of the button that
    // ended it: 1 for OK, or 2 (cancel) for Escape and the close command.
    int DoModal();
};
