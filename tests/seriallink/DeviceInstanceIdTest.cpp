#include "seriallink/serial/DeviceInstanceId.h"

#include <gtest/gtest.h>

namespace {

struct InstanceCase {
    const char* id;
    const char* read; // vendor:product serial, then "above" where the serial number is in a device above
};

class InstanceIdReading : public testing::TestWithParam<InstanceCase> {};

TEST_P(InstanceIdReading, FindsTheAdapterAndWhereItsSerialNumberIs) {
    const InstanceId id = ReadInstanceId(GetParam().id);
    EXPECT_EQ(id.vendorId + ":" + id.productId + " " + id.serialNumber + (id.serialAbove ? " above" : ""),
              GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InstanceIdReading,
    testing::Values(InstanceCase{"USB\\VID_0403&PID_6001\\A5XK3RJT", "0403:6001 A5XK3RJT"},
                    // made up by the system: an adapter without a serial number
                    InstanceCase{"USB\\VID_1A86&PID_7523\\5&2A8C3F6&0&2", "1A86:7523 "},
                    InstanceCase{"FTDIBUS\\VID_0403+PID_6011+FT5X2ABCA\\0000", "0403:6011  above"},
                    InstanceCase{"USB\\VID_2341&PID_0043&MI_00\\6&1F2E3D4C&0&0000", "2341:0043  above"},
                    InstanceCase{"ACPI\\PNP0501\\1", ": "},
                    InstanceCase{"USB\\VID_0403&PID_6001", "0403:6001 "}, InstanceCase{"USB\\VID_04", ": "}));

} // namespace
