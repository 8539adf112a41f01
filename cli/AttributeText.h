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

// "macId 20 -> 5, baudRate 125 -> 500": the fields whose values differ between what a controller held and
// what it is to hold, either of which may be none (nothing held; the type cleared): "none -> macId 5, ...".
// Empty when none differ.
QString FieldChangesText(const CNetAttributes* held, const CNetAttributes* wanted);
// The same as {"macId": {"held": 20, "restored": 5}, ...}, null for a side that is none.
QJsonObject FieldChangesJson(const CNetAttributes* held, const CNetAttributes* wanted);

// A whole decimal number, signed or not; none for anything else ("abc", "12.5", "0x0C", ""). One past
// int's range comes out as the nearest end of it, which no range asked for reaches.
std::optional<int> WholeNumber(const QString& text);
// Why `text` is no good as `what` in low-high, or nothing: "MAC ID 64 is out of range 0-63",
// "MAC ID 'abc' is not a number".
std::optional<QString> NumberRefusal(const QString& what, const QString& text, int low, int high);

// "A.B.C.D", each a decimal number 0 to 255.
bool ParseIpAddress(const QString& text, std::uint8_t (&octets)[4]);

// The block's baud-rate byte for a rate in kb/s: "500", "500k", "500 kb/s" or "500kbps".
std::optional<std::uint8_t> BaudRateIndex(const QString& kilobits);
