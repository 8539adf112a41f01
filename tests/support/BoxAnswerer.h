#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

// Answers the first real message box that opens while it lives with OK, and keeps what the box showed.
// It polls with a timer of its own, so no poll outlives it when a test ends before any box opened.
// Needs the application object.
class BoxAnswerer {
public:
    BoxAnswerer() {
        QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this] { Poll(); });
        m_poll.start(10);
    }

    bool seen = false;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::WindowModality modality = Qt::NonModal;
    // As a screen reader is told of the box.
    QAccessible::Role accessibleRole = QAccessible::NoRole;
    QString accessibleName;
    QString accessibleValue;

private:
    void Poll() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible())
                continue;
            m_poll.stop();
            seen = true;
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            modality = box->windowModality();
            const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
            accessibleRole = accessible->role();
            accessibleName = accessible->text(QAccessible::Name);
            accessibleValue = accessible->text(QAccessible::Value);
            box->button(QMessageBox::Ok)->click();
            return;
        }
    }

    QTimer m_poll;
};
