#pragma once

#include "platform/MessageBox.h"

#include <QApplication>

#include <vector>

// The process's one QApplication; boxes need it for their caption and the real ones for their loop.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "test_link";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's test input devices would otherwise outlive it at exit.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

// Records every message box shown while it lives and answers each with `answer`.
class BoxRecorder {
public:
    explicit BoxRecorder(int answer = IDOK) {
        TestApplication();
        SetMessageBoxHook([this, answer](const MessageBoxRecord& box) {
            boxes.push_back(box);
            return answer;
        });
    }
    ~BoxRecorder() { SetMessageBoxHook(nullptr); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<MessageBoxRecord> boxes;
};
