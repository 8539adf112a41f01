// The system menu where the native one cannot be extended: a context menu of the window's background.
#include "ui/SystemMenu.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QWidget>

CSystemMenu::CSystemMenu(QWidget* window) : QObject(window), m_pMenu(new QMenu(window)) {
    window->installEventFilter(this);
    connect(m_pMenu, &QMenu::triggered, this,
            [this](QAction* action) { emit SysCommand(action->data().toUInt(), 0); });
}

CSystemMenu::~CSystemMenu() = default;

void CSystemMenu::AppendSeparator() {
    m_pMenu->addSeparator();
}

void CSystemMenu::AppendString(unsigned commandId, const QString& text) {
    m_pMenu->addAction(text)->setData(commandId);
}

bool CSystemMenu::eventFilter(QObject* watched, QEvent* event) {
    // Context-menu events that no child accepted travel up to the window itself.
    if (event->type() != QEvent::ContextMenu || m_pMenu->actions().isEmpty())
        return QObject::eventFilter(watched, event);
    m_pMenu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
}
