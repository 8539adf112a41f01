#include "seriallink/PortName.h"

#include "seriallink/SerialComm.h"
#include "sim/ControllerSimulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

namespace fs = std::filesystem;

PresentPort Port(const char* device, PortKind kind, int number, bool hardware = true) {
    PresentPort port;
    port.device = device;
    port.kind = kind;
    port.number = number;
    port.hardware = hardware;
    return port;
}

// Listed out of order, as a directory hands them out; ttyS10 sorts after ttyS2 by number.
const std::vector<PresentPort> kMachine{
    Port("/dev/ttyACM0", PortKind::Acm, 0),     Port("/dev/ttyUSB1", PortKind::Usb, 1),
    Port("/dev/ttyS10", PortKind::BuiltIn, 10), Port("/dev/ttyS0", PortKind::BuiltIn, 0, false),
    Port("/dev/ttyUSB0", PortKind::Usb, 0),     Port("/dev/ttyS2", PortKind::BuiltIn, 2),
};

struct MappingCase {
    const char* name;
    int number;
    const char* variable;
    std::vector<PresentPort> present;
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

INSTANTIATE_TEST_SUITE_P(
    Table, ComPortMap,
    testing::Values(
        MappingCase{"BuiltInFirst", 1, nullptr, kMachine, "/dev/ttyS2", ComPortSource::Present},
        MappingCase{"ByNumberNotByText", 2, nullptr, kMachine, "/dev/ttyS10", ComPortSource::Present},
        MappingCase{"ThenUsb", 3, nullptr, kMachine, "/dev/ttyUSB0", ComPortSource::Present},
        MappingCase{"ThenAcm", 5, nullptr, kMachine, "/dev/ttyACM0", ComPortSource::Present},
        MappingCase{"PastThePresent", 6, nullptr, kMachine, "", ComPortSource::Nothing},
        MappingCase{"EmptyMachine", 1, nullptr, {}, "", ComPortSource::Nothing},
        MappingCase{"VariableOverrides", 3, "/dev/pts/7", kMachine, "/dev/pts/7", ComPortSource::Variable},
        MappingCase{"VariableWithoutPorts", 8, "/dev/ttyUSB4", {}, "/dev/ttyUSB4", ComPortSource::Variable},
        MappingCase{"EmptyVariableIsUnset", 1, "", kMachine, "/dev/ttyS2", ComPortSource::Present},
        MappingCase{"NumberZero", 0, "/dev/pts/7", kMachine, "", ComPortSource::Nothing},
        MappingCase{"PastTheLastNumber", LastAddressableComPort + 1, "/dev/pts/7", kMachine, "",
                    ComPortSource::Nothing}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComPortMap, AnAdapterPluggedInLaterTakesTheNextNumber) {
    std::vector<PresentPort> present{Port("/dev/ttyS0", PortKind::BuiltIn, 0)};
    EXPECT_EQ(MapComPort(2, nullptr, present).source, ComPortSource::Nothing);
    present.push_back(Port("/dev/ttyACM3", PortKind::Acm, 3));
    EXPECT_EQ(MapComPort(2, nullptr, present).device, "/dev/ttyACM3");
    EXPECT_EQ(MapComPort(1, nullptr, present).device, "/dev/ttyS0");
}

void WriteFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << '\n';
}

// A tty class folder as the kernel lays it out: a node per tty, `device` where a driver claimed it,
// `type` 0 where no UART answered, USB identity on the device above the node.
TEST(TtyClassListing, KeepsSerialNodesAndTellsWhichHaveHardware) {
    const fs::path root = fs::temp_directory_path() / ("talvor-tty-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const fs::path tty = root / "class/tty";
    WriteFile(tty / "ttyS0/type", "4");
    fs::create_directories(tty / "ttyS0/device");
    WriteFile(tty / "ttyS1/type", "0");
    fs::create_directories(tty / "ttyS1/device");
    WriteFile(tty / "ttyS2/type", "4"); // no device: a placeholder node
    const fs::path usb = root / "devices/usb1/1-1";
    WriteFile(usb / "idVendor", "0403");
    WriteFile(usb / "idProduct", "6001");
    WriteFile(usb / "serial", "A5XK3RJT");
    fs::create_directories(usb / "1-1:1.0/ttyUSB3");
    fs::create_directories(tty / "ttyUSB3");
    fs::create_symlink(usb / "1-1:1.0/ttyUSB3", tty / "ttyUSB3/device");
    for (const char* other : {"tty5", "ttyS", "ttySx1", "console"})
        fs::create_directories(tty / other);

    std::vector<PresentPort> listed = ListTtyClassPorts(tty);
    std::sort(listed.begin(), listed.end(),
              [](const PresentPort& a, const PresentPort& b) { return a.device < b.device; });
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[0].device, "/dev/ttyS0");
    EXPECT_TRUE(listed[0].hardware);
    EXPECT_FALSE(listed[1].hardware) << "port type unknown";
    EXPECT_FALSE(listed[2].hardware) << "no device behind the node";
    EXPECT_EQ(listed[3].device, "/dev/ttyUSB3");
    EXPECT_EQ(listed[3].kind, PortKind::Usb);
    EXPECT_EQ(listed[3].number, 3);
    EXPECT_EQ(listed[3].vendorId + ":" + listed[3].productId + " " + listed[3].serialNumber,
              "0403:6001 A5XK3RJT");
    EXPECT_TRUE(ListTtyClassPorts(root / "missing").empty());
    fs::remove_all(root);
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
