#pragma once

#include <QApplication>
#include <QInputDevice>

// The test process's one QApplication. It is never destroyed, and Qt's device registry is made
// before it: QTest's mouse and key events register a pointing device that must not outlive the
// application at exit.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "talvor_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        QInputDevice::devices();
        return new QApplication(argc, argv);
    }();
    return *app;
}
