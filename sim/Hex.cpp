#include "sim/Hex.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <cctype>

std::string ToHex(std::span<const std::uint8_t> bytes) {
    const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    return raw.toHex(' ').toUpper().toStdString();
}

std::optional<ByteString> FromHex(std::string_view text) {
    const QByteArray raw(text.data(), static_cast<qsizetype>(text.size()));
    // fromHex skips what is not a digit; here anything but whole byte pairs between spaces is refused.
    for (const QByteArray& pairs : raw.split(' '))
        if (pairs.size() % 2 != 0 || !std::all_of(pairs.begin(), pairs.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c));
            }))
            return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(raw);
    return ByteString(bytes.begin(), bytes.end());
}
