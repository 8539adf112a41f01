#pragma once

#include <QObject>

class QMenu;
class QWidget;

// A window's system menu where a program cannot extend the native one: a context menu of the
// window's background (a right click where no child control takes it). Its items reach the window as
// system commands through SysCommand.
class CSystemMenu : public QObject {
    Q_OBJECT
public:
    // The window's menu, made on first use; none for a window without a system menu.
    static CSystemMenu* GetSystemMenu(QWidget* window);

    void AppendSeparator();
    void AppendString(unsigned commandId, const QString& text);

    QMenu* Menu() const { return m_pMenu; }

signals:
    void SysCommand(unsigned commandId, qintptr lParam);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CSystemMenu(QWidget* window);

    QMenu* m_pMenu;
};
