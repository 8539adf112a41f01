#include "app/FontConfigPreload.h"

#ifndef _WIN32
#include <fontconfig/fontconfig.h>
#endif

#include <system_error>

CFontConfigPreload::CFontConfigPreload() {
#ifndef _WIN32
    try {
        m_loader = std::jthread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread to spare: Qt loads the configuration itself when it first needs it.
    }
#endif
}

void CFontConfigPreload::Wait() {
    if (m_loader.joinable())
        m_loader.join();
}
