#include "model/AttributeRules.h"

#include "model/NetworkType.h"

namespace {

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

} // namespace

std::optional<RuleBreach> CheckNodeAddress(int type, int address) {
    const bool deviceNet = type == NetworkDeviceNet;
    if (deviceNet ? InRange(address, MacIdMin, MacIdMax) : InRange(address, NodeAddressMin, NodeAddressMax))
        return std::nullopt;
    return RuleBreach{AttributeField::NodeAddress, deviceNet ? "Invalid MAC ID!" : "Invalid Node address!",
                      deviceNet ? MacIdMin : NodeAddressMin, deviceNet ? MacIdMax : NodeAddressMax};
}

std::optional<RuleBreach> CheckWordCounts(int type, int inputWords, int outputWords) {
    const bool deviceNet = type == NetworkDeviceNet;
    const int low = deviceNet ? 1 : 0;
    const int high = deviceNet ? 127 : 122;
    if (!InRange(inputWords, low, high))
        return RuleBreach{AttributeField::InputWords,
                          deviceNet ? "Invalid value for Consumed Words!" : "Invalid value for input words!",
                          low, high};
    if (!InRange(outputWords, low, high))
        return RuleBreach{AttributeField::OutputWords,
                          deviceNet ? "Invalid value for Output Words!" : "Invalid value for output words!",
                          low, high};
    if (!deviceNet && inputWords + outputWords >= ProfibusWordSumLimit)
        return RuleBreach{AttributeField::WordSum, "The sum of Input and Output must be less than 208", 0,
                          ProfibusWordSumLimit - 1};
    return std::nullopt;
}
