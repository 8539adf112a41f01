#pragma once

#include "model/ByteString.h"
#include "model/NetAttributes.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// The command line's names of the three network types: "ethernet", "devicenet", "profibus".
std::optional<NetworkType> NetworkTypeNamed(const QString& name);
QString NetworkTypeName(int type);

// A record read from or written to the controller, with the block it travelled in.
QJsonObject RecordJson(const CNetAttributes& record, const ByteString& block);
QString RecordText(const CNetAttributes& record);

// "A.B.C.D", each a decimal number 0 to 255.
bool ParseIpAddress(const QString& text, std::uint8_t (&octets)[4]);

// The baud rate list index of "125", "250" or "500".
std::optional<std::uint8_t> BaudRateIndex(const QString& kilobits);
