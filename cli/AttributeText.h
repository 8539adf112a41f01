#pragma once

#include "model/ByteString.h"
#include "model/NetAttributes.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// The command line's names of the three network types: "ethernet", "devicenet", "profibus", read in
// any case.
std::optional<NetworkType> NetworkTypeNamed(const QString& name);
QString NetworkTypeName(int type);

// A record read from or written to the controller, with the block it travelled in.
QJsonObject RecordJson(const CNetAttributes& record, const ByteString& block);
// Times as the byte the controller holds, in units of 10 s: "timeout:        5 (50 s)".
QString RecordText(const CNetAttributes& record);
// "macId 12, baudRate 500": the fields of `record` that `names` names, by their JSON keys.
QString ChangedFieldsText(const CNetAttributes& record, const QStringList& names);

// "A.B.C.D", each a decimal number 0 to 255.
bool ParseIpAddress(const QString& text, std::uint8_t (&octets)[4]);

// The block's baud-rate byte for a rate in kb/s, such as "500".
std::optional<std::uint8_t> BaudRateIndex(const QString& kilobits);
