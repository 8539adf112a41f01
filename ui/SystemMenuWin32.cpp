// The window's native system menu.
#include "ui/SystemMenu.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QSet>
#include <QWidget>

#include <windows.h>

namespace {

// Takes the window's WM_SYSCOMMAND messages for the items appended here; the system's own commands
// (move, close, ...) go on to the default handling.
class CommandFilter : public QAbstractNativeEventFilter {
public:
    CommandFilter(HWND window, CSystemMenu& menu) : m_window(window), m_menu(menu) {}

    QSet<unsigned> commands;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->hwnd != m_window || msg->message != WM_SYSCOMMAND)
            return false;
        // The low four bits of the command are the system's own.
        const unsigned command = unsigned(msg->wParam) & 0xFFF0u;
        if (!commands.contains(command))
            return false;
        emit m_menu.SysCommand(unsigned(msg->wParam), qintptr(msg->lParam));
        // A menu chosen with the mouse posts its command: Qt's event loop then offers it here before
        // dispatching it, with no result to set. Taking it there keeps it from reaching us twice.
        if (result)
            *result = 0;
        return true;
    }

private:
    HWND m_window;
    CSystemMenu& m_menu;
};

HWND NativeWindow(QWidget* window) {
    return reinterpret_cast<HWND>(window->winId());
}

} // namespace

CSystemMenu::CSystemMenu(QWidget* window)
    : QObject(window), m_pWindow(window),
      m_pCommandFilter(std::make_unique<CommandFilter>(NativeWindow(window), *this)) {
    QCoreApplication::instance()->installNativeEventFilter(m_pCommandFilter.get());
}

CSystemMenu::~CSystemMenu() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(m_pCommandFilter.get());
}

void CSystemMenu::AppendSeparator() {
    ::AppendMenuW(::GetSystemMenu(NativeWindow(m_pWindow), FALSE), MF_SEPARATOR, 0, nullptr);
}

void CSystemMenu::AppendString(unsigned commandId, const QString& text) {
    ::AppendMenuW(::GetSystemMenu(NativeWindow(m_pWindow), FALSE), MF_STRING, commandId,
                  reinterpret_cast<const wchar_t*>(text.utf16()));
    static_cast<CommandFilter*>(m_pCommandFilter.get())->commands.insert(commandId & 0xFFF0u);
}
