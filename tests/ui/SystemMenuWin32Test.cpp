// The native system menu under the Windows message loop, which hands the window a command in two ways:
// sent straight to the window procedure, or posted to the queue and picked up by Qt's event loop, as a
// menu opened with the mouse does. Either way an item's command reaches SysCommand once.
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
    bool posted;
    WPARAM command;
    std::vector<std::pair<unsigned, qintptr>> received;
};

class SystemMenuWin32Test : public testing::TestWithParam<Delivery> {};

TEST_P(SystemMenuWin32Test, CommandReachesTheWindowOnceAndOnlyForItsItem) {
    TestApplication();
    QWidget window(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint);
    CSystemMenu* menu = CSystemMenu::GetSystemMenu(&window);
    ASSERT_NE(menu, nullptr);
    menu->AppendSeparator();
    menu->AppendString(ItemCommand, "&About");
    std::vector<std::pair<unsigned, qintptr>> received;
    QObject::connect(menu, &CSystemMenu::SysCommand,
                     [&](unsigned command, qintptr lParam) { received.emplace_back(command, lParam); });

    const HWND hwnd = reinterpret_cast<HWND>(window.winId());
    if (GetParam().posted) {
        ASSERT_TRUE(PostMessageW(hwnd, WM_SYSCOMMAND, GetParam().command, 77));
        QCoreApplication::processEvents();
    } else {
        SendMessageW(hwnd, WM_SYSCOMMAND, GetParam().command, 77);
    }
    EXPECT_EQ(received, GetParam().received);
}

INSTANTIATE_TEST_SUITE_P(
    Deliveries, SystemMenuWin32Test,
    testing::Values(Delivery{"Sent", false, ItemCommand, {{ItemCommand, 77}}},
                    Delivery{"Posted", true, ItemCommand, {{ItemCommand, 77}}},
                    // The low four bits of a command are the system's own.
                    Delivery{"PostedWithTheSystemsBits", true, ItemCommand | 0x3, {{ItemCommand | 0x3, 77}}},
                    Delivery{"PostedForNoItem", true, 0x0020, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
