#include "ui/ComPortList.h"

#include "seriallink/network/NetworkPort.h"
#include "seriallink/serial/PortName.h"
#include "tests/support/FakeDeviceTree.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHelpEvent>

#include <cerrno>

namespace {

struct TipCase {
    const char* name;
    int number;
    const char* variable; // names the device from the tree's /dev when it starts with '@'
    const char* tip;      // @ stands for the tree's /dev
};

std::string WithDev(std::string text, const std::string& dev) {
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + dev.size()))
        text.replace(at, 1, dev);
    return text;
}

// One machine for the whole table: making one costs more than every tip on it.
const FakeDeviceTree& Machine() {
    static const FakeDeviceTree machine;
    return machine;
}

class ComPortTipOnAMachine : public testing::TestWithParam<TipCase> {};

TEST_P(ComPortTipOnAMachine, SaysWhatTheEntryReaches) {
    const TipCase& c = GetParam();
    const FakeDeviceTree& machine = Machine();
    const std::string dev = machine.Dev().string();
    const PortListing present = ListPresentPorts(machine.Tree());
    const std::string variable = c.variable ? WithDev(c.variable, dev) : std::string();
    const ComPortMapping mapping = MapComPort(c.number, c.variable ? variable.c_str() : nullptr, present);
    EXPECT_EQ(ComPortTip(c.number, mapping, present).toStdString(), WithDev(c.tip, dev));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComPortTipOnAMachine,
    testing::Values(
        TipCase{"OnBoardUartAndTheConsoleLeftOut", 1, nullptr,
                "Com1 reaches @/ttyS2 (serial port 1 of those present).\n"
                "@/ttyS0 is the system console and is not counted: name it with TALVOR_COM1 to use it."},
        TipCase{"InterfaceOfAFourPortAdapter", 4, nullptr,
                "Com4 reaches @/ttyUSB10 (serial port 4 of those present).\n"
                "Quad RS232-HS, FTDI, USB 0403:6011, serial FT5X2ABC, interface 01.\n"
                "Its name for scripts and plans: @/serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if01-port0 "
                "(COM numbers move when adapters come and go).\n"
                "@/ttyS0 is the system console and is not counted: name it with TALVOR_COM4 to use it."},
        TipCase{
            "AdapterWithoutASerialNumber", 7, nullptr,
            "Com7 reaches @/ttyXRUSB0 (serial port 7 of those present).\n"
            "XR21V1410, USB 04e2:1410.\n"
            "Its name for scripts and plans: @/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0 (the adapter has "
            "no serial number, so this name follows the USB socket it is plugged into).\n"
            "@/ttyS0 is the system console and is not counted: name it with TALVOR_COM7 to use it."},
        TipCase{"Modem", 8, nullptr,
                "Com8 reaches @/ttyACM0 (serial port 8 of those present).\n"
                "Uno, Arduino, USB 2341:0043, serial 7523733353635.\n"
                "Its name for scripts and plans: @/serial/by-id/usb-Arduino_Uno_7523733353635-if00 "
                "(COM numbers move when adapters come and go).\n"
                "@/ttyS0 is the system console and is not counted: name it with TALVOR_COM8 to use it."},
        TipCase{"PastThePorts", 9, nullptr,
                "No serial port is behind Com9: plug in an adapter, or name its device with TALVOR_COM9.\n"
                "@/ttyS0 is the system console and is not counted: name it with TALVOR_COM9 to use it."},
        TipCase{"ConsoleNamedExplicitly", 1, "@/ttyS0",
                "Com1 reaches @/ttyS0 (set by TALVOR_COM1).\n@/ttyS0 is the system console: COM numbers skip "
                "it."},
        TipCase{
            "PinnedByItsStableName", 2, "@/serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if03-port0",
            "Com2 reaches @/serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if03-port0 (set by TALVOR_COM2).\n"
            "Quad RS232-HS, FTDI, USB 0403:6011, serial FT5X2ABC, interface 03.\n"
            "Its name for scripts and plans: @/serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if03-port0 "
            "(COM numbers move when adapters come and go)."},
        TipCase{"MissingDevice", 2, " @/ttyUSB7 ",
                "Com2 reaches @/ttyUSB7 (set by TALVOR_COM2), which does not exist."},
        TipCase{"BareNameUnderDev", 3, "talvor-no-such-node",
                "Com3 reaches /dev/talvor-no-such-node (set by TALVOR_COM3), which does not exist."},
        TipCase{
            "DeviceServerOverRfc2217", 3, "rfc2217://cabinet-4:2001",
            "Com3 reaches rfc2217://cabinet-4:2001 (set by TALVOR_COM3).\n"
            "Port 2001 of the serial device server cabinet-4, over RFC 2217: the utility sets the server's "
            "line itself."},
        TipCase{"MalformedServerAddress", 4, "socket://[::1]",
                "Com4 reaches socket://[::1] (set by TALVOR_COM4).\n"
                "That is no port address: an IPv6 address is written in brackets, followed by :PORT "
                "([::1]:2001)."}),
    [](const auto& info) { return std::string(info.param.name); });

// Over raw TCP the server's line is the user's to set; a failed attempt leaves its reason in the tip.
TEST(ComPortTip, SaysWhyADeviceServerWasNotReached) {
    const std::string url = "socket://127.0.0.1:1";
    std::unique_ptr<CByteChannel> channel;
    ASSERT_EQ(CNetworkPort::Open(url, 19200, {}, channel), linkcode::CannotOpen);
    EXPECT_EQ(
        ComPortTip(5, MapComPort(5, url.c_str(), {}), {}).toStdString(),
        "Com5 reaches socket://127.0.0.1:1 (set by TALVOR_COM5).\n"
        "Port 1 of the serial device server 127.0.0.1, over raw TCP: the server's line must be set up for "
        "the controller (19200 bit/s, 8N1, no flow control).\n"
        "The last attempt to reach it failed: the server refused the connection (nothing listens on that "
        "port, or it serves another client).");
}

TEST(ComPortTip, SaysThePermissionFix) {
    const FakeDeviceTree machine;
    PortListing present = ListPresentPorts(machine.Tree());
    for (PresentPort& port : present.ports)
        if (port.device == machine.Device("ttyS2")) {
            port.accessError = EACCES;
            port.group = "dialout";
        }
    const std::string dev = machine.Dev().string();
    EXPECT_EQ(
        ComPortTip(1, MapComPort(1, nullptr, present), present).toStdString(),
        WithDev("Com1 reaches @/ttyS2 (serial port 1 of those present).\n"
                "Permission denied: @/ttyS2 belongs to group dialout: add your user to that group (sudo "
                "usermod -aG dialout $USER), then log in again.\n"
                "@/ttyS0 is the system console and is not counted: name it with TALVOR_COM1 to use it.",
                dev));
}

TEST(ComPortTip, AFailedListingIsSaidAsSuch) {
    const PortListing failed{{}, std::make_error_code(std::errc::io_error)};
    EXPECT_EQ(ComPortTip(2, MapComPort(2, nullptr, failed), failed).toStdString(),
              "Com2 reaches no port: the serial ports could not be listed (" +
                  std::make_error_code(std::errc::io_error).message() + ").");
}

TEST(ComPortTip, WindowsPortsSayWhetherTheSystemListsThem) {
    const ComPortMapping com5{"COM5", ComPortSource::System, {}};
    PresentPort listed;
    listed.device = "COM5";
    listed.description = "USB Serial Port (COM5)";
    listed.manufacturer = "FTDI";
    listed.vendorId = "0403";
    listed.productId = "6001";
    listed.serialNumber = "A5XK3RJT";
    EXPECT_EQ(ComPortTip(5, com5, {{listed}, {}}).toStdString(),
              "Com5 reaches COM5.\nUSB Serial Port (COM5), FTDI, USB 0403:6001, serial A5XK3RJT.");
    EXPECT_EQ(ComPortTip(5, com5, {}).toStdString(),
              "Com5 reaches COM5, which the system does not list as present now.");
}

// The list reads the machine it is given when it is opened or hovered over, not before.
TEST(ComPortList, OpeningItReadsThePortsOfItsTree) {
    TestApplication();
    const ScopedEnvironmentVariable unset("TALVOR_COM3", std::nullopt);
    const FakeDeviceTree machine;
    CComPortList list(nullptr, machine.Tree());
    list.addItems({"Com1", "Com2", "Com3"});
    list.setCurrentIndex(2);
    EXPECT_FALSE(list.itemData(2, Qt::ToolTipRole).isValid());
    const PortListing present = ListPresentPorts(machine.Tree());
    const QString com3 = ComPortTip(3, MapComPort(3, nullptr, present), present);
    ASSERT_TRUE(com3.startsWith(QString::fromStdString("Com3 reaches " + machine.Device("ttyUSB9") + " ")));
    list.showPopup();
    list.hidePopup();
    EXPECT_EQ(list.itemData(2, Qt::ToolTipRole).toString(), com3);
    list.setToolTip({});
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), QPoint(2, 2));
    QCoreApplication::sendEvent(&list, &hover);
    EXPECT_EQ(list.toolTip(), com3);
}

} // namespace
