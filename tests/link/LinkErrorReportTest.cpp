#include "app/NetConfigApp.h"
#include "platform/LastError.h"
#include "tests/link/LinkMessageCases.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/BoxRecorder.h"
#include "tests/support/UtilityMessages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr unsigned kInformationOk = mb::OK | mb::ICONINFORMATION;

// An operating-system error and the text its system gives for it.
#ifdef _WIN32
constexpr std::uint32_t kSystemError = ERROR_FILE_NOT_FOUND;
const QString kSystemErrorText = [] {
    char text[512] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, kSystemError, 0,
                     text, sizeof text, nullptr);
    // Shown as delivered, with the line break the system ends it with.
    return QString::fromLocal8Bit(text);
}();
#else
constexpr std::uint32_t kSystemError = ENODEV;
const QString kSystemErrorText = QString::fromLocal8Bit(std::strerror(ENODEV));
#endif

class ReportLinkErrorTest : public testing::TestWithParam<LinkMessageCase> {
protected:
    void SetUp() override { SetLastSystemError(0); }
    void TearDown() override { SetLastSystemError(0); }
};

TEST_P(ReportLinkErrorTest, ShowsTheCodesTextInTheApplicationsBox) {
    BoxRecorder recorder;
    theApp.ReportLinkError(GetParam().code);
    ExpectLinkMessage(recorder.boxes, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Codes, ReportLinkErrorTest, testing::ValuesIn(kLinkMessageCases),
                         LinkMessageCaseName);

TEST(ReportLinkError, SuccessAndTheHighestCodeAreHandled) {
    BoxRecorder recorder;
    SetLastSystemError(0);
    theApp.ReportLinkError(0);
    EXPECT_TRUE(recorder.boxes.empty());
    theApp.ReportLinkError(0xFFFFFFFFu);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, kUnknownLinkErrorText);
}

// An unknown code with the thread's last error set shows the system's text for that error instead.
class UnknownCodeWithLastErrorTest : public testing::TestWithParam<std::uint32_t> {
protected:
    void TearDown() override { SetLastSystemError(0); }
};

TEST_P(UnknownCodeWithLastErrorTest, ShowsTheSystemTextCaptionedError) {
    BoxRecorder recorder;
    SetLastSystemError(kSystemError);
    theApp.ReportLinkError(GetParam());
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, kSystemErrorText);
    EXPECT_EQ(recorder.boxes[0].caption, "Error");
    EXPECT_EQ(recorder.boxes[0].type & ~unsigned{mb::TASKMODAL}, kInformationOk);
    // No other request may start while the user reads it.
    EXPECT_TRUE(recorder.boxes[0].applicationModal);
}

INSTANTIATE_TEST_SUITE_P(Codes, UnknownCodeWithLastErrorTest, testing::Values(4u, 24u, 38u, 211u, 214u),
                         [](const auto& info) { return "Code" + std::to_string(info.param); });

TEST(ReportLinkError, KnownCodeIgnoresTheLastError) {
    BoxRecorder recorder;
    SetLastSystemError(kSystemError);
    theApp.ReportLinkError(22);
    SetLastSystemError(0);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "Password does not match the system attributes password");
}

// Ids with no text: gaps inside the table and ids outside it.
class MissingStringTest : public testing::TestWithParam<unsigned> {};

TEST_P(MissingStringTest, ShowsTheFallbackWithoutIconAndReturnsOne) {
    BoxRecorder recorder(/*answer=*/7);
    EXPECT_EQ(theApp.ShowStringMessage(GetParam(), kInformationOk), 1);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "Unable to load error string from resources.");
    EXPECT_EQ(recorder.boxes[0].type, unsigned{mb::OK});
    EXPECT_EQ(recorder.boxes[0].caption, ApplicationName());
}

INSTANTIATE_TEST_SUITE_P(Ids, MissingStringTest, testing::Values(0u, 106u, 126u, 139u, 0xFFFFFFFFu),
                         [](const auto& info) { return "Id" + std::to_string(info.param); });

TEST(ShowStringMessage, ReturnsTheBoxResultAndKeepsTheGivenType) {
    BoxRecorder recorder(/*answer=*/7);
    EXPECT_EQ(theApp.ShowStringMessage(124, mb::OK | mb::ICONEXCLAMATION, 42, "unused"), 7);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "PLC is not in Program Mode");
    EXPECT_EQ(recorder.boxes[0].type, unsigned{mb::OK | mb::ICONEXCLAMATION});
}

// The real boxes: while one is open it is application modal, so the main dialog cannot start another
// request.
TEST(ReportLinkError, RealBoxesBlockTheApplicationUntilAnswered) {
    TestApplication();
    BoxAnswerer answer;
    theApp.ReportLinkError(37);
    ASSERT_TRUE(answer.seen);
    EXPECT_EQ(answer.modality, Qt::ApplicationModal);
    EXPECT_EQ(answer.caption, ApplicationName());
    EXPECT_EQ(answer.text,
              "Error C01_3:  communication port is being used by some other application, Access denied.");

    BoxAnswerer systemAnswer;
    SetLastSystemError(kSystemError);
    theApp.ReportLinkError(38);
    SetLastSystemError(0);
    ASSERT_TRUE(systemAnswer.seen);
    EXPECT_EQ(systemAnswer.modality, Qt::ApplicationModal);
    EXPECT_EQ(systemAnswer.caption, "Error");
    EXPECT_EQ(systemAnswer.text, kSystemErrorText);
}

} // namespace
