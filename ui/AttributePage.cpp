#include "ui/AttributePage.h"

#include "platform/DialogBuilder.h"
#include "res/DialogTemplates.h"
#include "ui/TextToNumber.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

CAttributePage::CAttributePage(int templateId, QWidget* parent)
    : QWidget(parent), m_nTemplateId(templateId) {}

CAttributePage::~CAttributePage() = default;

bool CAttributePage::Create() {
    const DialogTemplate* dialogTemplate = FindDialogTemplate(m_nTemplateId);
    if (!dialogTemplate)
        return false;
    BuildFromTemplate(*this, *dialogTemplate);
    for (auto* frame : findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
        m_frames.emplace_back(frame, frame->geometry());
    FitFrames();
    return OnInitDialog();
}

void CAttributePage::DoDataExchange() {}

bool CAttributePage::OnInitDialog() {
    DoDataExchange();
    return true;
}

void CAttributePage::OnOK() {}

void CAttributePage::OnCancel() {}

void CAttributePage::SetNumber(QLineEdit& edit, int value) {
    edit.setText(QString::number(value));
}

int CAttributePage::GetNumber(const QLineEdit& edit) {
    return TextToNumber(edit.text());
}

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

void CAttributePage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitFrames();
}

// The dialog lays a page into an area that may be a little smaller than the page's own template; a
// frame reaching past that area would lose its far edges, so it ends at the page's edge instead.
void CAttributePage::FitFrames() {
    for (auto& [frame, templateRect] : m_frames) {
        QRect rect = templateRect;
        rect.setWidth(std::min(templateRect.width(), width() - templateRect.x()));
        rect.setHeight(std::min(templateRect.height(), height() - templateRect.y()));
        frame->setGeometry(rect);
    }
}
