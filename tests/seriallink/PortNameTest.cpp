#include "seriallink/serial/PortName.h"

#include "seriallink/link/SerialComm.h"
#include "seriallink/serial/PortAccess.h"
#include "sim/ControllerSimulator.h"
#include "tests/support/FakeDeviceTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

PresentPort Port(const char* device, PortKind kind, const char* family, int number, bool hardware = true) {
    PresentPort port;
    port.device = device;
    port.kind = kind;
    port.family = family;
    port.number = number;
    port.hardware = hardware;
    return port;
}

PresentPort Console(PresentPort port) {
    port.console = true;
    return port;
}

// Listed out of order, as a directory hands them out; ttyS10 sorts after ttyS2 by number.
const PortListing kMachine{{
                               Port("/dev/ttyACM0", PortKind::Acm, "ttyACM", 0),
                               Port("/dev/ttyUSB1", PortKind::Usb, "ttyUSB", 1),
                               Port("/dev/ttyS10", PortKind::BuiltIn, "ttyS", 10),
                               Port("/dev/ttyS0", PortKind::BuiltIn, "ttyS", 0, false),
                               Port("/dev/ttyUSB0", PortKind::Usb, "ttyUSB", 0),
                               Port("/dev/ttyS2", PortKind::BuiltIn, "ttyS", 2),
                               Console(Port("/dev/ttyS1", PortKind::BuiltIn, "ttyS", 1)),
                           },
                           {}};

struct MappingCase {
    const char* name;
    int number;
    const char* variable;
    PortListing present;
    const char* device;
    ComPortSource source;
};

class ComPortMap : public testing::TestWithParam<MappingCase> {};

TEST_P(ComPortMap, PicksTheDevice) {
    const MappingCase& c = GetParam();
    const ComPortMapping mapping = MapComPort(c.number, c.variable, c.present);
    EXPECT_EQ(mapping.device, c.device);
    EXPECT_EQ(mapping.source, c.source);
}

const PortListing kFailedListing{kMachine.ports, std::make_error_code(std::errc::io_error)};

INSTANTIATE_TEST_SUITE_P(
    Table, ComPortMap,
    testing::Values(
        MappingCase{"BuiltInFirstTheConsoleLeftOut", 1, nullptr, kMachine, "/dev/ttyS2",
                    ComPortSource::Present},
        MappingCase{"ByNumberNotByText", 2, nullptr, kMachine, "/dev/ttyS10", ComPortSource::Present},
        MappingCase{"ThenUsb", 3, nullptr, kMachine, "/dev/ttyUSB0", ComPortSource::Present},
        MappingCase{"ThenAcm", 5, nullptr, kMachine, "/dev/ttyACM0", ComPortSource::Present},
        MappingCase{"PastThePresent", 6, nullptr, kMachine, "", ComPortSource::Nothing},
        MappingCase{"EmptyMachine", 1, nullptr, {}, "", ComPortSource::Nothing},
        MappingCase{"AFailedListingCountsNothing", 1, nullptr, kFailedListing, "", ComPortSource::Nothing},
        MappingCase{"VariableOverrides", 3, "/dev/pts/7", kMachine, "/dev/pts/7", ComPortSource::Variable},
        MappingCase{"VariableNamesTheConsole", 1, "/dev/ttyS1", kMachine, "/dev/ttyS1",
                    ComPortSource::Variable},
        MappingCase{"VariableWithoutPorts", 8, "/dev/ttyUSB4", {}, "/dev/ttyUSB4", ComPortSource::Variable},
        MappingCase{"VariableDespiteAFailedListing", 1, "/dev/pts/7", kFailedListing, "/dev/pts/7",
                    ComPortSource::Variable},
        MappingCase{"VariableTrimmed", 2, " /dev/ttyUSB0 \t\n", kMachine, "/dev/ttyUSB0",
                    ComPortSource::Variable},
        MappingCase{"BareNameUnderDev", 2, "ttyUSB0", kMachine, "/dev/ttyUSB0", ComPortSource::Variable},
        MappingCase{"RelativePathKept", 2, "./ttyUSB0", kMachine, "./ttyUSB0", ComPortSource::Variable},
        MappingCase{"EmptyVariableIsUnset", 1, "", kMachine, "/dev/ttyS2", ComPortSource::Present},
        MappingCase{"BlankVariableIsUnset", 1, "  ", kMachine, "/dev/ttyS2", ComPortSource::Present},
        MappingCase{"NumberZero", 0, "/dev/pts/7", kMachine, "", ComPortSource::Nothing},
        MappingCase{"PastTheLastNumber", LastAddressableComPort + 1, "/dev/pts/7", kMachine, "",
                    ComPortSource::Nothing}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComPortMap, AFailedListingSaysWhy) {
    EXPECT_EQ(MapComPort(1, nullptr, kFailedListing).listError, std::errc::io_error);
    EXPECT_FALSE(MapComPort(1, nullptr, kMachine).listError);
}

TEST(ComPortMap, AnAdapterPluggedInLaterTakesTheNextNumber) {
    PortListing present{{Port("/dev/ttyS0", PortKind::BuiltIn, "ttyS", 0)}, {}};
    EXPECT_EQ(MapComPort(2, nullptr, present).source, ComPortSource::Nothing);
    present.ports.push_back(Port("/dev/ttyACM3", PortKind::Acm, "ttyACM", 3));
    EXPECT_EQ(MapComPort(2, nullptr, present).device, "/dev/ttyACM3");
    EXPECT_EQ(MapComPort(1, nullptr, present).device, "/dev/ttyS0");
}

std::vector<std::string> Devices(const std::vector<PresentPort>& ports) {
    std::vector<std::string> devices;
    for (const PresentPort& port : ports)
        devices.push_back(fs::path(port.device).filename().string());
    return devices;
}

const PresentPort& Listed(const PortListing& listing, const std::string& node) {
    for (const PresentPort& port : listing.ports)
        if (fs::path(port.device).filename() == node)
            return port;
    throw std::runtime_error(node + " not listed");
}

// Every UART a serial driver registered, in COM order: the console and the placeholder left out,
// on-board families after ttyS, vendor drivers after ttyUSB, numbers compared as numbers.
TEST(DeviceTreeListing, CountsEveryUartInComOrder) {
    for (const bool consoleAttribute : {true, false}) {
        const FakeDeviceTree machine(consoleAttribute);
        const PortListing listing = ListPresentPorts(machine.Tree());
        ASSERT_FALSE(listing.error) << listing.error.message();
        EXPECT_EQ(Devices(PortsInComOrder(listing.ports)),
                  (std::vector<std::string>{"ttyS2", "ttyAMA0", "ttyUSB9", "ttyUSB10", "ttyUSB11", "ttyUSB12",
                                            "ttyXRUSB0", "ttyACM0"}))
            << "console attribute " << consoleAttribute;
        EXPECT_TRUE(Listed(listing, "ttyS0").console) << "console attribute " << consoleAttribute;
        EXPECT_FALSE(Listed(listing, "ttyS1").hardware);
        EXPECT_EQ(listing.ports.size(), 10u) << "virtual ttys are no serial ports";
    }
}

struct IdentityCase {
    const char* node;
    PortKind kind;
    const char* identity;   // vendor:product serial interface
    const char* stableName; // under /dev/serial
};

TEST(DeviceTreeListing, TellsAdaptersApart) {
    const FakeDeviceTree machine;
    const PortListing listing = ListPresentPorts(machine.Tree());
    const IdentityCase cases[] = {
        {"ttyUSB9", PortKind::Usb, "Quad RS232-HS FTDI 0403:6011 FT5X2ABC if00",
         "by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if00-port0"},
        {"ttyUSB12", PortKind::Usb, "Quad RS232-HS FTDI 0403:6011 FT5X2ABC if03",
         "by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if03-port0"},
        // one port: no interface to tell apart; no serial number: the socket's name, not the shared by-id one
        {"ttyXRUSB0", PortKind::Usb, "XR21V1410  04e2:1410  if", "by-path/pci-0000:00:14.0-usb-0:3:1.0"},
        {"ttyACM0", PortKind::Acm, "Uno Arduino 2341:0043 7523733353635 if",
         "by-id/usb-Arduino_Uno_7523733353635-if00"},
        {"ttyAMA0", PortKind::BuiltIn, "  :  if", ""},
    };
    for (const IdentityCase& c : cases) {
        const PresentPort& port = Listed(listing, c.node);
        EXPECT_EQ(port.kind, c.kind) << c.node;
        EXPECT_EQ(port.description + " " + port.manufacturer + " " + port.vendorId + ":" + port.productId +
                      " " + port.serialNumber + " if" + port.interfaceNumber,
                  c.identity);
        EXPECT_EQ(port.stableName, *c.stableName ? (machine.Dev() / "serial" / c.stableName).string() : "");
    }
}

TEST(DeviceTreeListing, AFolderThatCannotBeReadIsAFailureNotAnEmptyMachine) {
    const FakeDeviceTree machine;
    fs::remove_all(machine.Sys() / "class/tty");
    EXPECT_FALSE(ListPresentPorts(machine.Tree()).error) << "no tty class: a machine without ttys";
    std::ofstream(machine.Sys() / "class/tty") << "not a folder\n";
    const PortListing listing = ListPresentPorts(machine.Tree());
    EXPECT_TRUE(listing.error);
    EXPECT_TRUE(listing.ports.empty());
}

struct PermissionCase {
    const char* name;
    int error;
    const char* group;
    const char* fix;
};

class PermissionAdvice : public testing::TestWithParam<PermissionCase> {};

TEST_P(PermissionAdvice, NamesTheGroupAndTheFix) {
    const PermissionCase& c = GetParam();
    EXPECT_EQ(PermissionFix("/dev/ttyUSB0", c.error, c.group), c.fix);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PermissionAdvice,
    testing::Values(
        PermissionCase{"Dialout", EACCES, "dialout",
                       "/dev/ttyUSB0 belongs to group dialout: add your user to that group (sudo usermod -aG "
                       "dialout $USER), then log in again."},
        PermissionCase{
            "OtherGroup", EPERM, "uucp",
            "/dev/ttyUSB0 belongs to group uucp: add your user to that group (sudo usermod -aG uucp "
            "$USER), then log in again."},
        PermissionCase{
            "RootOnly", EACCES, "root",
            "/dev/ttyUSB0 may only be opened by root: give it a group of serial users (dialout) with "
            "a udev rule, then add your user to that group."},
        PermissionCase{"Missing", ENOENT, "dialout", ""}, PermissionCase{"Busy", EBUSY, "dialout", ""},
        PermissionCase{"Allowed", 0, "dialout", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Without privileges, a node this user may not open is listed with the group that owns it.
TEST(DeviceTreeListing, ANodeThisUserMayNotOpenIsMarked) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens every node";
    const FakeDeviceTree machine;
    fs::permissions(machine.Dev() / "ttyUSB10", fs::perms::none);
    const PortListing listing = ListPresentPorts(machine.Tree());
    EXPECT_EQ(Listed(listing, "ttyUSB10").accessError, EACCES);
    EXPECT_EQ(Listed(listing, "ttyUSB10").group, DeviceGroup(machine.Device("ttyUSB9")));
    EXPECT_FALSE(Listed(listing, "ttyUSB10").group.empty());
    EXPECT_EQ(Listed(listing, "ttyUSB9").accessError, 0);
}

// The number past the ports present reaches nothing until its variable names a device; the link looks
// the port up at each open, so the same link object then reaches the controller.
TEST(ComPortOpen, ResolvedAtEachOpen) {
    ControllerSimulator sim;
    sim.Start();
    constexpr int number = 200;
    ::unsetenv("TALVOR_COM200");
    CSerialComm link;
    link.m_nSerialPort = number;
    link.m_wCommParam = 0x1001;
    EXPECT_EQ(link.InitializeCommMode(), 36u);
    ::setenv("TALVOR_COM200", sim.DevicePath().c_str(), 1);
    ASSERT_EQ(link.InitializeCommMode(), 0u);
    std::uint8_t reply[16];
    std::uint32_t count = 0;
    EXPECT_EQ(link.ProccessMsgCode_NoThread(18, false, nullptr, 0, reply, sizeof reply, &count), 0u);
    EXPECT_GT(count, 0u);
    link.CloseComPort();
    ::unsetenv("TALVOR_COM200");
}

} // namespace
