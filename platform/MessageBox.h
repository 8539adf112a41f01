#pragma once

#include <QString>

#include <functional>

class QWidget;

// Message box types as the Windows API numbers them; tests and callers compare against these.
namespace mb {
enum Type : unsigned {
    OK = 0x00,
    ICONSTOP = 0x10,
    ICONEXCLAMATION = 0x30,
    ICONINFORMATION = 0x40,
    ICONMASK = 0xF0,
    // An ownerless system box that still blocks every window of the application.
    TASKMODAL = 0x2000,
};
// What a box returns when its OK button closes it.
inline constexpr int RESULT_OK = 1;
} // namespace mb

// The application's box: modal to the application, captioned with ApplicationName().
int AfxMessageBox(const QString& text, unsigned type = mb::OK, unsigned helpId = 0);

// The plain system box. With an owner it blocks that window; with none it blocks nothing, unless the
// type carries mb::TASKMODAL.
int SystemMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type);

// The executable's base name, which captions the application's boxes.
QString ApplicationName();

// Test seam: when a hook is set, every box is handed to it instead of being shown, and its answer
// is the box's result.
struct MessageBoxRecord {
    QString text;
    QString caption;
    unsigned type;
    bool applicationModal; // true when the box blocks every window of the application
};
using MessageBoxHook = std::function<int(const MessageBoxRecord&)>;
void SetMessageBoxHook(MessageBoxHook hook);
