#include "cli/Output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

void WriteLine(std::FILE* stream, const QString& text) {
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stream);
    std::fflush(stream);
}

} // namespace

void PrintLine(const QString& text) {
    WriteLine(stdout, text);
}

void PrintErrorLine(const QString& text) {
    WriteLine(stderr, text);
}

void PrintJson(const QJsonValue& value) {
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    PrintLine(QString::fromUtf8(document.toJson(QJsonDocument::Indented)).trimmed());
}

QString HexText(std::span<const std::uint8_t> bytes, bool spaced) {
    const auto raw = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<qsizetype>(bytes.size()));
    return QString::fromLatin1(spaced ? raw.toHex(' ') : raw.toHex()).toUpper();
}
