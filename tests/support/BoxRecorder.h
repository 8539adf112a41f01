#pragma once

#include "platform/MessageBox.h"

#include "tests/support/TestApplication.h"

#include <vector>

// Records every message box shown while it lives and answers each with `answer`.
class BoxRecorder {
public:
    explicit BoxRecorder(int answer = mb::RESULT_OK) {
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
