#pragma once

#include <optional>

// The address ranges of the fieldbus types: DeviceNet MAC ID and Profibus node address.
inline constexpr int MacIdMin = 0, MacIdMax = 63, NodeAddressMin = 1, NodeAddressMax = 125;
// Profibus input and output words together stay below this.
inline constexpr int ProfibusWordSumLimit = 208;

// The values a DeviceNet or Profibus record must hold before it is written, with the message for the
// first one that is out of range.

enum class AttributeField { NodeAddress, InputWords, OutputWords, WordSum };

struct RuleBreach {
    AttributeField field;
    const char* message;
    int low; // the range the field's value must lie in; for WordSum, the sum's
    int high;
};

// The MAC ID for DeviceNet, the node address for Profibus, each within its range above.
std::optional<RuleBreach> CheckNodeAddress(int type, int address);

// Consumed and produced words 1 to 127 for DeviceNet; input and output words 0 to 122 for Profibus,
// together below 208.
std::optional<RuleBreach> CheckWordCounts(int type, int inputWords, int outputWords);
