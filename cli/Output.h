#pragma once

#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <span>

// Standard output and standard error, each line written and flushed at once so that the two stay in
// order when they share a terminal.
void PrintLine(const QString& text);
void PrintErrorLine(const QString& text);
void PrintJson(const QJsonValue& value);

// Bytes as upper-case hex pairs, with or without a space between them.
QString HexText(std::span<const std::uint8_t> bytes, bool spaced);
