#include "platform/MessageBox.h"
#include "tests/support/BoxAnswerer.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace {

// One QApplication for the process; the executable's name captions the application's boxes.
QApplication& App() {
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

class MessageBoxTest : public testing::Test {
protected:
    void SetUp() override { App(); }
    void TearDown() override { SetMessageBoxHook(nullptr); }

    // Records the boxes and answers each with `answer`.
    void Record(int answer = mb::RESULT_OK) {
        SetMessageBoxHook([this, answer](const MessageBoxRecord& box) {
            boxes.push_back(box);
            return answer;
        });
    }

    std::vector<MessageBoxRecord> boxes;
};

TEST_F(MessageBoxTest, ApplicationNameIsTheExecutableBaseName) {
    EXPECT_EQ(ApplicationName(), "test_platform");
}

TEST_F(MessageBoxTest, ApplicationBoxIsCaptionedWithTheApplicationNameAndModal) {
    Record();
    AfxMessageBox("Saved.", mb::OK | mb::ICONINFORMATION);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Saved.");
    EXPECT_EQ(boxes[0].caption, "test_platform");
    EXPECT_EQ(boxes[0].type, mb::OK | mb::ICONINFORMATION);
    EXPECT_TRUE(boxes[0].applicationModal);
}

TEST_F(MessageBoxTest, HookAnswerIsTheBoxResult) {
    Record(7);
    EXPECT_EQ(AfxMessageBox("x"), 7);
    EXPECT_EQ(SystemMessageBox(nullptr, "x", "Error", mb::OK), 7);
}

TEST_F(MessageBoxTest, OwnerlessSystemBoxKeepsItsCaptionAndBlocksOnlyWhenTaskModal) {
    Record();
    SystemMessageBox(nullptr, "text", "Error", mb::OK | mb::ICONINFORMATION);
    SystemMessageBox(nullptr, "text", "Error", mb::OK | mb::ICONINFORMATION | mb::TASKMODAL);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_FALSE(boxes[0].applicationModal);
    EXPECT_TRUE(boxes[1].applicationModal);
}

struct IconCase {
    unsigned type;
    QMessageBox::Icon icon;
    const char* name;
};

class RealApplicationBoxTest : public MessageBoxTest, public testing::WithParamInterface<IconCase> {};

TEST_P(RealApplicationBoxTest, ShowsTheIconOfItsTypeAndReturnsOkWhenAccepted) {
    BoxAnswerer answer;
    EXPECT_EQ(AfxMessageBox("Line one\nline two", GetParam().type), mb::RESULT_OK);
    ASSERT_TRUE(answer.seen);
    EXPECT_EQ(answer.caption, "test_platform");
    EXPECT_EQ(answer.text, "Line one\nline two");
    EXPECT_EQ(answer.icon, GetParam().icon);
    EXPECT_EQ(answer.modality, Qt::ApplicationModal);
    // Announced as an alert: the caption, then the text.
    EXPECT_EQ(answer.accessibleRole, QAccessible::AlertMessage);
    EXPECT_EQ(answer.accessibleName, "test_platform");
    EXPECT_EQ(answer.accessibleValue, "Line one\nline two");
}

INSTANTIATE_TEST_SUITE_P(Types, RealApplicationBoxTest,
                         testing::Values(IconCase{mb::OK, QMessageBox::NoIcon, "None"},
                                         IconCase{mb::ICONSTOP, QMessageBox::Critical, "Stop"},
                                         IconCase{mb::ICONEXCLAMATION, QMessageBox::Warning, "Exclamation"},
                                         IconCase{mb::ICONINFORMATION, QMessageBox::Information,
                                                  "Information"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageBoxTest, RealOwnerlessBoxLeavesOtherWindowsUsable) {
    QDialog mainWindow;
    mainWindow.show();
    bool mainWindowBlocked = true;
    // The window is the timer's context: it cannot fire after the test has ended.
    QTimer::singleShot(0, &mainWindow,
                       [&] { mainWindowBlocked = QApplication::activeModalWidget() != nullptr; });
    BoxAnswerer answer;
    EXPECT_EQ(SystemMessageBox(nullptr, "No such device", "Error", mb::OK | mb::ICONINFORMATION),
              mb::RESULT_OK);
    ASSERT_TRUE(answer.seen);
    EXPECT_EQ(answer.caption, "Error");
    EXPECT_EQ(answer.modality, Qt::NonModal);
    EXPECT_FALSE(mainWindowBlocked);
}

} // namespace
