#pragma once

#include "model/ByteString.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// A controller's attributes kept in a file: its status id and the block of each of Ethernet, DeviceNet
// and Profibus as read, or none where the controller held none.
struct Backup {
    ByteString statusId;
    std::array<std::optional<ByteString>, 3> blocks; // by network type 1 to 3
};

inline constexpr int BackupFormatVersion = 1;

// The blocks in hex, and under "fields" each held block decoded for people to read.
QByteArray BackupToJson(const Backup& backup);

// Reads a backup file's contents. A file that does not parse, of another format or version, or with a
// block that is not a valid block of its type (length, type byte, the values the utility accepts) is
// refused: `error` says why. "fields" may be left out (older files have none); where given, they must
// be what the blocks decode to.
std::optional<Backup> BackupFromJson(const QByteArray& json, QString& error);
