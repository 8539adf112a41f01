#include "platform/AutoRadioButton.h"

AutoRadioButton::AutoRadioButton(const QString& text, int group, QWidget* parent)
    : QRadioButton(text, parent), m_nGroup(group) {
    setAutoExclusive(false);
}

void AutoRadioButton::nextCheckState() {
    setChecked(true);
    for (auto* other : parentWidget()->findChildren<AutoRadioButton*>(Qt::FindDirectChildrenOnly))
        if (other != this && other->m_nGroup == m_nGroup)
            other->setChecked(false);
}
