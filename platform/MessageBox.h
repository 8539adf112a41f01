#pragma once

#include "platform/MessageBoxTypes.h"

#include <QString>

#include <functional>

class QWidget;

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
