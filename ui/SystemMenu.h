#pragma once

#include <QObject>

#include <memory>

class QMenu;
class QWidget;
class QAbstractNativeEventFilter;

// A window's system menu, whose items reach the window as system commands through SysCommand. On
// Windows it is the window's native system menu. Elsewhere, where a program cannot extend the native
// one, it is a context menu of the window's background (a right click where no child control takes it).
class CSystemMenu : public QObject {
    Q_OBJECT
public:
    // The window's menu, made on first use; none for a window without a system menu.
    static CSystemMenu* GetSystemMenu(QWidget* window);
    ~CSystemMenu() override;

    void AppendSeparator();
    void AppendString(unsigned commandId, const QString& text);

#ifndef _WIN32
    QMenu* Menu() const {
        return m_pMenu;
    }
#endif

signals:
    void SysCommand(unsigned commandId, qintptr lParam);

#ifndef _WIN32
protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
#endif

private:
    explicit CSystemMenu(QWidget* window);

#ifdef _WIN32
    QWidget* m_pWindow;
    std::unique_ptr<QAbstractNativeEventFilter> m_pCommandFilter;
#else
    QMenu* m_pMenu;
#endif
};
