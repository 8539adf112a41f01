// Tells a test script where things are on a Wine desktop, as a user would see them: the client area of
// a window by its title, the point of its caption icon that opens the system menu, and the open menu.
// Coordinates are the screen's, which on Wine's virtual desktop are those of its X window.
// Usage: window_probe client TITLE | sysmenu TITLE | menu
// Prints "x y width height" (client, menu) or "x y" (sysmenu); exit status 1 when there is none.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::wstring Widen(const char* text) {
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), int(wide.size()));
    wide.pop_back();
    return wide;
}

HWND VisibleWindow(const wchar_t* windowClass, const wchar_t* title) {
    const HWND window = FindWindowW(windowClass, title);
    return window && IsWindowVisible(window) ? window : nullptr;
}

int PrintClient(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    std::printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    return 0;
}

int PrintWindowRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

// The middle of the caption's system menu icon, found by asking the window what lies at each point of
// the caption's left end.
int PrintSystemMenuPoint(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    POINT clientOrigin{0, 0};
    ClientToScreen(window, &clientOrigin);
    RECT icon{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (LONG y = rect.top; y < clientOrigin.y; ++y)
        for (LONG x = rect.left; x < clientOrigin.x + 64; ++x)
            if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTSYSMENU) {
                icon = {std::min(icon.left, x), std::min(icon.top, y), std::max(icon.right, x),
                        std::max(icon.bottom, y)};
            }
    if (icon.left > icon.right)
        return 1;
    std::printf("%ld %ld\n", (icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "menu") == 0) {
        // Every menu, the system menu among them, is a window of the class "#32768".
        const HWND menu = VisibleWindow(L"#32768", nullptr);
        return menu ? PrintWindowRect(menu) : 1;
    }
    if (argc != 3) {
        std::fputs("usage: window_probe client TITLE | sysmenu TITLE | menu\n", stderr);
        return 2;
    }
    const HWND window = VisibleWindow(nullptr, Widen(argv[2]).c_str());
    if (!window)
        return 1;
    if (std::strcmp(argv[1], "client") == 0)
        return PrintClient(window);
    if (std::strcmp(argv[1], "sysmenu") == 0)
        return PrintSystemMenuPoint(window);
    std::fprintf(stderr, "window_probe: unknown request %s\n", argv[1]);
    return 2;
}
