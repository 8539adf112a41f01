#include "ui/SystemMenu.h"

#include <QWidget>

CSystemMenu* CSystemMenu::GetSystemMenu(QWidget* window) {
    if (!window || !window->isWindow() || !(window->windowFlags() & Qt::WindowSystemMenuHint))
        return nullptr;
    if (auto* menu = window->findChild<CSystemMenu*>(QString(), Qt::FindDirectChildrenOnly))
        return menu;
    return new CSystemMenu(window);
}
