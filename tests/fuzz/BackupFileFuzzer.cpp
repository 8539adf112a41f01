#include "cli/BackupFile.h"
#include "model/NetAttributes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Whatever a file holds, the reader either refuses it with a reason or returns a backup whose blocks
// are whole blocks of their types and which saves and reads back as itself.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString error;
    const std::optional<Backup> backup =
        BackupFromJson(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), error);
    if (!backup) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type)
        if (const auto& block = backup->blocks[type - 1]; block && CheckBlockFrame(*block, type))
            std::abort();
    const std::optional<Backup> again = BackupFromJson(BackupToJson(*backup), error);
    if (!again || again->statusId != backup->statusId || again->blocks != backup->blocks)
        std::abort();
    return 0;
}
