#include "res/AttributeMessages.h"

namespace {

constexpr AttributeMessages EthernetMessages{
    "Could not read Ethernet attributes from TALVOR. Make sure that the device is connected!",
    "Ethernet attributes are not currently programmed in TALVOR.",
    "Ethernet attributes successfully programmed.",
    "Ethernet attributes could not be programmed!",
    "Ethernet attributes successfully disabled!",
    "Ethernet attributes could not be disabled!",
};

constexpr AttributeMessages DeviceNetMessages{
    "Could not read DeviceNet attributes from TALVOR. Make sure that the device is connected!",
    "DeviceNet attributes are not currently programmed in TALVOR. "
    "This utility can only set the MAC ID and the Baud Rate for DeviceNet.\n"
    "Other attributes (such as Consumed Words and Produced Words) "
    "need to be programmed using the TALVOR software.",
    "Devicenet attributes successfully programmed.",
    "Devicenet attributes could not be programmed!",
    "DeviceNet attributes successfully cleared.",
    "DeviceNet attributes could not be cleared!",
};

constexpr AttributeMessages ProfibusMessages{
    "Could not read Profibus attributes from TALVOR. Make sure that the device is connected!",
    "Profibus attributes are not currently programmed in TALVOR. "
    "This utility can only be used to set the Node Address for Profibus.\n"
    "Other attributes (such as Input Words and Output Words) "
    "need to be programmed using the TALVOR software.",
    "Profibus attributes successfully programmed.",
    "Profibus attributes could not be programmed!",
    "Profibus attributes successfully cleared.",
    "Profibus attributes could not be cleared!",
};

} // namespace

const AttributeMessages& AttributeMessagesFor(int type) {
    switch (type) {
    case NetworkDeviceNet:
        return DeviceNetMessages;
    case NetworkProfibus:
        return ProfibusMessages;
    default:
        return EthernetMessages;
    }
}
