#include "cli/PortReport.h"
#include "cli/PortChoice.h"

#include "app/NetConfigApp.h"
#include "seriallink/serial/PortName.h"
#include "tests/support/FakeDeviceTree.h"
#include "tests/support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <cerrno>
#include <tuple>

namespace {

QString WithDev(QString text, const FakeDeviceTree& machine) {
    return text.replace('@', QString::fromStdString(machine.Dev().string()));
}

// The whole text on a machine with a console, a placeholder, on-board and USB ports, one of which this
// user may not open; COM2 named by its stable name, COM9 by a device that is gone.
TEST(PortsCommand, ListsEveryPortWithWhatTellsItApart) {
    const FakeDeviceTree machine;
    PortListing present = ListPresentPorts(machine.Tree());
    for (PresentPort& port : present.ports)
        if (port.device == machine.Device("ttyACM0")) {
            port.accessError = EACCES;
            port.group = "dialout";
        }
    const ScopedEnvironmentVariable com2(
        "TALVOR_COM2", (machine.Dev() / "serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if02-port0").c_str());
    const ScopedEnvironmentVariable com9("TALVOR_COM9", "ttyUSB77");
    const QString expected = WithDev(
        QStringLiteral("Present:\n"
                       "  @/ttyS2  built-in serial port\n"
                       "  @/ttyAMA0  built-in serial port\n"
                       "  @/ttyUSB9  USB serial adapter: Quad RS232-HS, FTDI, USB 0403:6011, serial "
                       "FT5X2ABC, interface 00\n"
                       "      Its name for scripts and plans: "
                       "@/serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if00-port0 (COM "
                       "numbers move when adapters come and go).\n"
                       "  @/ttyUSB10  USB serial adapter: Quad RS232-HS, FTDI, USB 0403:6011, serial "
                       "FT5X2ABC, interface 01\n"
                       "      Its name for scripts and plans: "
                       "@/serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if01-port0 (COM "
                       "numbers move when adapters come and go).\n"
                       "  @/ttyUSB11  USB serial adapter: Quad RS232-HS, FTDI, USB 0403:6011, serial "
                       "FT5X2ABC, interface 02\n"
                       "      Its name for scripts and plans: "
                       "@/serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if02-port0 (COM "
                       "numbers move when adapters come and go).\n"
                       "  @/ttyUSB12  USB serial adapter: Quad RS232-HS, FTDI, USB 0403:6011, serial "
                       "FT5X2ABC, interface 03\n"
                       "      Its name for scripts and plans: "
                       "@/serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if03-port0 (COM "
                       "numbers move when adapters come and go).\n"
                       "  @/ttyXRUSB0  USB serial adapter: XR21V1410, USB 04e2:1410\n"
                       "      Its name for scripts and plans: @/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0 "
                       "(the adapter has no "
                       "serial number, so this name follows the USB socket it is plugged into).\n"
                       "  @/ttyACM0  USB modem (ACM): Uno, Arduino, USB 2341:0043, serial 7523733353635\n"
                       "      Its name for scripts and plans: "
                       "@/serial/by-id/usb-Arduino_Uno_7523733353635-if00 (COM numbers "
                       "move when adapters come and go).\n"
                       "      Permission denied: @/ttyACM0 belongs to group dialout: add your user to that "
                       "group (sudo usermod "
                       "-aG dialout $USER), then log in again.\n"
                       "  @/ttyS0  built-in serial port\n"
                       "      @/ttyS0 is the system console: COM numbers skip it.\n"
                       "COM ports:\n"
                       "  COM1  @/ttyS2  (present)\n"
                       "  COM2  @/serial/by-id/usb-FTDI_Quad_RS232-HS_FT5X2ABC-if02-port0  (TALVOR_COM2)\n"
                       "  COM3  @/ttyUSB9  (present)\n"
                       "  COM4  @/ttyUSB10  (present)\n"
                       "  COM5  @/ttyUSB11  (present)\n"
                       "  COM6  @/ttyUSB12  (present)\n"
                       "  COM7  @/ttyXRUSB0  (present)\n"
                       "  COM8  @/ttyACM0  (present)\n"
                       "  COM9  /dev/ttyUSB77  (TALVOR_COM9, missing)"),
        machine);
    EXPECT_EQ(PortReportLines(PortReport(present)).join('\n').toStdString(), expected.toStdString());
}

TEST(PortsCommand, JsonMarksTheConsoleAndThePermission) {
    const FakeDeviceTree machine;
    PortListing present = ListPresentPorts(machine.Tree());
    present.ports.front().accessError = EACCES;
    const QJsonArray ports = PortReport(present)["present"].toArray();
    int consoles = 0;
    for (const QJsonValue& port : ports) {
        const bool console = port["device"].toString().toStdString() == machine.Device("ttyS0");
        EXPECT_EQ(port["console"].toBool(), console);
        consoles += console;
        const bool denied = port["device"].toString().toStdString() == present.ports.front().device;
        EXPECT_EQ(port["permissionDenied"].toBool(), denied);
    }
    EXPECT_EQ(consoles, 1);
}

// The port is looked up once: a mapping changed later in the run does not move the link.
TEST(PortChoice, ResolvedOncePerRun) {
    const ScopedEnvironmentVariable first("TALVOR_COM3", "/dev/pts/41");
    ASSERT_EQ(SelectPort(theApp, QStringLiteral("com3")).toStdString(), "");
    const ScopedEnvironmentVariable second("TALVOR_COM3", "/dev/pts/42");
    EXPECT_EQ(theApp.m_SerialComm.m_strDeviceName, "/dev/pts/41");
    EXPECT_EQ(PortDescription(theApp).toStdString(), "COM3 (/dev/pts/41)");
}

struct NameCase {
    const char* given;
    const char* name;
    const char* device;
};

TEST(PortChoice, DevicesAreNamedAsTheLinkOpensThem) {
    const NameCase cases[] = {
        {" /dev/ttyUSB0 ", "/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"ttyUSB0", "ttyUSB0", "/dev/ttyUSB0"},
        {"./ttyUSB0", "./ttyUSB0", "./ttyUSB0"},
    };
    for (const NameCase& c : cases) {
        PortChoice choice;
        EXPECT_EQ(ResolvePort(QString::fromLatin1(c.given), choice).toStdString(), "") << c.given;
        EXPECT_EQ(choice.name.toStdString(), c.name);
        EXPECT_EQ(choice.device, c.device);
    }
    PortChoice choice;
    EXPECT_EQ(ResolvePort(QStringLiteral("  "), choice).toStdString(),
              "--port needs COM1 to COM256 or a device.");
}

#ifndef _WIN32
// A plan's port is refused before the run where no serial device is there, in the plan's words; a link
// and the device it leads to are one identity.
TEST(PortChoice, APlanPortMustLeadToASerialDeviceThatIsThere) {
    const QTemporaryDir dir;
    const QString file = dir.filePath("plan.csv"), link = dir.filePath("link");
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link("/dev/null", link));
    const ScopedEnvironmentVariable com9("TALVOR_COM9", "/dev/pts/99999");
    const ScopedEnvironmentVariable com256("TALVOR_COM256", std::nullopt);
    const std::tuple<QString, QString, QString> cases[] = {
        {"/dev/nonexist", "port /dev/nonexist is not there: no such device", ""},
        {"COM9", "port COM9 (/dev/pts/99999) is not there", ""},
        {file, "port " + file + " is no serial port: not a character device", ""},
        {"COMx", "port COMx is no port name: use COM1 to COM256 (COMn, n a number) or a device.", ""},
        {"COM256",
         "No serial port is behind COM256. Map it with TALVOR_COM256=DEVICE (for example "
         "TALVOR_COM256=/dev/serial/by-id/usb-...), or give the device itself in the port column.",
         ""},
        {link, "", "/dev/null"},
        // A device server's port is known by its address: names and numeric forms of one are one port.
        {"rfc2217://LocalHost:2001", "", "tcp:127.0.0.1:2001"},
        {"socket://127.1:2001/", "", "tcp:127.0.0.1:2001"},
        {"rfc2217://[::FFFF:127.0.0.1]:2001", "", "tcp:127.0.0.1:2001"},
        {"rfc2217://[0:0::1]:2001", "", "tcp:[::1]:2001"},
        {"rfc2217://no-such-host.invalid:2001",
         "port rfc2217://no-such-host.invalid:2001 is not there: the host name is not known", ""},
    };
    for (const auto& [port, refusal, identity] : cases) {
        PortChoice choice;
        const QString refused = ResolvePlanPort(port, choice);
        EXPECT_EQ(refused.left(refusal.size()).toStdString(), refusal.toStdString());
        EXPECT_EQ(refused.isEmpty(), refusal.isEmpty()) << refused.toStdString();
        EXPECT_EQ((refused.isEmpty() ? choice.identity : QString()).toStdString(), identity.toStdString());
    }
}
#endif

} // namespace
