#include "ui/AttributePage.h"

#include "platform/DialogBuilder.h"
#include "res/DialogTemplates.h"
#include "ui/TextToNumber.h"

#include <QKeyEvent>
#include <QLineEdit>

CAttributePage::CAttributePage(int templateId, QWidget* parent) : QWidget(parent), m_nTemplateId(templateId) {}

CAttributePage::~CAttributePage() = default;

bool CAttributePage::Create() {
    const DialogTemplate* dialogTemplate = FindDialogTemplate(m_nTemplateId);
    if (!dialogTemplate)
        return false;
    BuildFromTemplate(*this, *dialogTemplate);
    return OnInitDialog();
}

void CAttributePage::DoDataExchange() {}

bool CAttributePage::OnInitDialog() {
    DoDataExchange();
    return true;
}

void CAttributePage::OnOK() {}

void CAttributePage::OnCancel() {}

void CAttributePage::SetNumber(QLineEdit& edit, int value) { edit.setText(QString::number(value)); }

int CAttributePage::GetNumber(const QLineEdit& edit) { return TextToNumber(edit.text()); }

void CAttributePage::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OnOK();
        event->accept();
        return;
    case Qt::Key_Escape:
        OnCancel();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
