#include "ui/AboutDlg.h"

#include "platform/DialogBuilder.h"
#include "platform/WindowStyles.h"
#include "res/AboutBoxTemplate.h"

#include <QApplication>
#include <QPushButton>

CAboutDlg::CAboutDlg()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    BuildFromTemplate(*this, AboutBoxTemplate());
    if (auto* ok = GetDlgItemAs<QPushButton>(*this, id::OK))
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;

int CAboutDlg::DoModal() {
    if (!parentWidget())
        if (QWidget* owner = QApplication::activeWindow(); owner && owner != this)
            setParent(owner, windowFlags());
    setWindowModality(Qt::ApplicationModal);
    return exec() == QDialog::Accepted ? id::OK : id::CANCEL;
}
