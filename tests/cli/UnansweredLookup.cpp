// Preloaded into a companion run by NetcfgCommandTest: a name server that never answers for
// "unanswered.test". The lookup says it has begun by creating $TALVOR_LOOKUP_BEGUN, then blocks; every
// other name, and every numeric one, goes to the system's own lookup.
#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** found) {
    if (node != nullptr && std::strcmp(node, "unanswered.test") == 0 &&
        (hints == nullptr || (hints->ai_flags & AI_NUMERICHOST) == 0)) {
        if (const char* begun = std::getenv("TALVOR_LOOKUP_BEGUN"))
            std::ofstream{begun};
        std::this_thread::sleep_for(std::chrono::seconds(60));
        return EAI_AGAIN;
    }
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto system = reinterpret_cast<Lookup>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    return system(node, service, hints, found);
}
