#pragma once

#include "model/AddressRules.h"
#include "model/NetAttributes.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <map>
#include <optional>

// Values a write sets, by the names of the write options: "mac-id", "baud", "node", "ip", "mask",
// "gateway". The command line and a plan give them alike.
using OptionValues = std::map<QString, QString>;

using Octets = std::array<std::uint8_t, 4>;

struct WriteValues {
    std::optional<int> macId;
    std::optional<std::uint8_t> baudRate; // the block's index, not kb/s
    std::optional<int> node;
    std::optional<Octets> ip;
    std::optional<Octets> mask;
    std::optional<Octets> gateway;

    // Whether any value belongs to `type`.
    bool Touches(NetworkType type) const;
    bool operator==(const WriteValues&) const = default;
};

// Checks each value of `given` by its option's rules into `values` and returns why each refused one is
// refused, in the order mac-id, node, baud, ip, mask, gateway. `prefix` goes before an option's name in
// the texts ("--" on the command line, nothing for a plan's column).
QStringList ParseWriteValues(const OptionValues& given, const QString& prefix, WriteValues& values);

struct ValueRefusal {
    QString text;
    bool addressRule; // the addresses would cut the controller off: --force writes them anyway
    std::optional<EthernetAddress> heldBlamed; // the address blamed, where the record held it and no value set it
};

// Sets the values of `record`'s type over what it holds and appends the fields set (JSON keys) to
// `changed`. Returns why the result may not be written: word counts the utility would not accept, or,
// unless `force`, addresses that would cut the controller off its network.
std::optional<ValueRefusal> ApplyWriteValues(const WriteValues& values, CNetAttributes& record, bool force,
                                             QStringList& changed);

// Whether two texts of the option `name` give one value ("010.0.0.5" is 10.0.0.5); a text that is no
// value gives none.
bool SameOptionValue(const QString& name, const QString& a, const QString& b);
