// The native system menu under the Windows message loop. A menu chosen with the mouse posts its command
// to the queue, where Qt's event loop picks it up: an item's command must reach SysCommand once, and the
// window must live on.
#include "tests/support/TestApplication.h"
#include "ui/SystemMenu.h"

#include <QWidget>

#include <gtest/gtest.h>
#include <windows.h>

#include <utility>
#include <vector>

namespace {

constexpr unsigned ItemCommand = 0x0010;

struct Delivery {
    const char* name;
    WPARAM command;
    std::vector<std::pair<unsigned, qintptr>> received;
};

class SystemMenuWin32Test : public testing::TestWithParam<Delivery> {};

TEST_P(SystemMenuWin32Test, PostedCommandReachesTheWindowOnceAndOnlyForItsItem) {
    TestApplication();
    QWidget window(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint);
    CSystemMenu* menu = CSystemMenu::GetSystemMenu(&window);
    ASSERT_NE(menu, nullptr);
    menu->AppendSeparator();
    menu->AppendString(ItemCommand, "&About");
    std::vector<std::pair<unsigned, qintptr>> received;
    QObject::connect(menu, &CSystemMenu::SysCommand,
                     [&](unsigned command, qintptr lParam) { received.emplace_back(command, lParam); });

    window.show();
    const HWND hwnd = reinterpret_cast<HWND>(window.winId());
    ASSERT_TRUE(PostMessageW(hwnd, WM_SYSCOMMAND, GetParam().command, 77));
    QCoreApplication::processEvents();
    EXPECT_EQ(received, GetParam().received);
}

INSTANTIATE_TEST_SUITE_P(
    Deliveries, SystemMenuWin32Test,
    testing::Values(Delivery{"ItemsCommand", ItemCommand, {{ItemCommand, 77}}},
                    // The low four bits of a command are the system's own.
                    Delivery{"WithTheSystemsBits", ItemCommand | 0x3, {{ItemCommand | 0x3, 77}}},
                    Delivery{"ForNoItem", 0x0020, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
