#include "sim/StoreFile.h"

#include "sim/Hex.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw std::runtime_error("store file " + path + ": " + what);
}

} // namespace

BlockStore LoadStore(const std::string& path) {
    BlockStore store;
    std::ifstream in(path);
    if (!in) {
        if (errno == ENOENT)
            return store;
        Fail(path, std::strerror(errno));
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty())
            continue;
        const std::size_t space = line.find(' ');
        const std::string type = line.substr(0, space);
        const std::optional<ByteString> block =
            space == std::string::npos ? std::nullopt : FromHex(std::string_view(line).substr(space + 1));
        if ((type != "1" && type != "2" && type != "3") || !block || block->empty())
            Fail(path, "line " + std::to_string(number) + " is not \"TYPE HEX\"");
        store[type[0] - '1'] = *block;
    }
    return store;
}

void SaveStore(const std::string& path, const BlockStore& store) {
    std::string text;
    for (std::size_t i = 0; i < store.size(); ++i)
        if (store[i])
            text += std::to_string(i + 1) + ' ' + ToHex(*store[i]) + '\n';

    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        Fail(temporary, std::strerror(errno));
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            Fail(temporary, std::strerror(error));
        }
        done += static_cast<std::size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    ::close(fd);
    if (!synced)
        Fail(temporary, std::strerror(syncError));
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        Fail(path, std::strerror(errno));
}
