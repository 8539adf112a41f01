// Preloaded into the companion by NetcfgCommandTest: a name server that never answers for
// "unanswered.test", whose lookup creates $TALVOR_LOOKUP_BEGUN and blocks. Other names go on as usual.
#include <dlfcn.h>
#include <fstream>
#include <netdb.h>
#include <string_view>
#include <thread>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** found) {
    if (node && std::string_view(node) == "unanswered.test" && hints && !(hints->ai_flags & AI_NUMERICHOST)) {
        std::ofstream{std::getenv("TALVOR_LOOKUP_BEGUN")};
        std::this_thread::sleep_for(std::chrono::minutes(1));
        return EAI_AGAIN;
    }
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    return reinterpret_cast<Lookup>(::dlsym(RTLD_NEXT, "getaddrinfo"))(node, service, hints, found);
}
