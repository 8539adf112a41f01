#include "sim/StoreFile.h"

#include "model/Hex.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

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
    // QSaveFile writes a temporary file beside the store, syncs it to disk and renames it over the store.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        Fail(path, file.errorString().toStdString());
    for (std::size_t i = 0; i < store.size(); ++i)
        if (store[i])
            file.write((std::to_string(i + 1) + ' ' + ToHex(*store[i]) + '\n').c_str());
    if (!file.commit())
        Fail(path, file.errorString().toStdString());
}
