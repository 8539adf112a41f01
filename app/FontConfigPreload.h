#pragma once

#include <thread>

// Reads the system's font configuration on a thread of its own while Qt connects to the display.
// Qt reads it on the first font looked up, which the dialog's first text does; parsing its dozens of
// files takes about a third of the processor time to the first painted window, and the display
// connection spends much of its time waiting on the server. Where Qt finds fonts without fontconfig
// (Windows) it does nothing.
class CFontConfigPreload {
public:
    CFontConfigPreload();
    ~CFontConfigPreload() = default; // the thread is joined if Wait was never called
    CFontConfigPreload(const CFontConfigPreload&) = delete;
    CFontConfigPreload& operator=(const CFontConfigPreload&) = delete;

    // Returns once the configuration is loaded. Call it before the first font is used: a lookup
    // made earlier would load a second configuration of its own beside this one.
    void Wait();

private:
    std::jthread m_loader;
};
