#include "sim/ControllerSimulator.h"
#include "sim/Hex.h"
#include "tests/sim/QtCoreApp.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

constexpr char kDeviceNetDefaults[] = "000C021E0000400004001400";
constexpr char kProfibusDefaults[] = "000D031E000040000400140000";
constexpr char kEthernetDefaults[] = "001301C0A80101FFFFFF0000000000FFFF1E00";

constexpr char kTimeOutText[] = "Incorrect Communication Packet  (Time Out Error). \n"
                                "Check cable, communication port and ports assignment on panel.\n";

struct Fault {
    SimFault fault;
    std::uint32_t status = 0;
    int onlyMsgCode = -1;
};

// One run of the real binary against a fresh simulator on COM1 and COM12; COM2 names no device.
struct NetcfgCase {
    const char* name;
    std::vector<std::string> args; // "{file}" stands for the case's file
    std::map<int, std::string> preload;
    std::vector<Fault> faults;
    std::string fileIn;                // written to {file} first when not empty
    std::vector<std::string> requests; // "code/type", with ":payload" when there is one
    std::map<int, std::string> stored; // what the controller holds afterwards; "" for nothing
    std::string out;
    std::string err; // exact, or a regular expression after "~"
    int exit;
    std::string fileOut; // {file}'s contents afterwards when not empty
};

const NetcfgCase kCases[] = {
    {"StatusPrintsTheId", {"status"}, {}, {}, "", {"18/0"}, {}, "statusId: 54560100\n", "", 0, ""},
    {"ReadDeviceNetAsText",
     {"read", "devicenet"},
     {{2, kDeviceNetDefaults}},
     {},
     "",
     {"18/0", "43/2"},
     {},
     "macId:          20\nbaudRate:       125\nconsumedWords:  32\nproducedWords:  2\ntimeout:        30\n"
     "pollTime:       0\n",
     "",
     0,
     ""},
    {"ReadNothingStoredIsStatusThree",
     {"read", "profibus", "--json"},
     {},
     {},
     "",
     {"18/0", "43/3"},
     {},
     "{\n    \"programmed\": false,\n    \"type\": \"profibus\"\n}\n",
     "Profibus attributes are not currently programmed in TALVOR. This utility can only be used to set the "
     "Node "
     "Address for Profibus.\nOther attributes (such as Input Words and Output Words) need to be programmed "
     "using "
     "the TALVOR software.\n",
     3,
     ""},
    {"WriteDeviceNetSendsBackTheControllersFields",
     {"write", "devicenet", "--mac-id", "63", "--baud", "500"},
     {{2, "000C02050700FE0010000902"}},
     {},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C02050700FE0010003F02"},
     {{2, "000C02050700FE0010003F02"}},
     "Devicenet attributes successfully programmed.\n",
     "",
     0,
     ""},
    {"WriteDeviceNetWithoutBaudKeepsTheStoredRate",
     {"write", "devicenet", "--mac-id", "0"},
     {{2, "000C021E0000400004001401"}},
     {},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C021E0000400004000001"},
     {{2, "000C021E0000400004000001"}},
     "Devicenet attributes successfully programmed.\n",
     "",
     0,
     ""},
    {"MacIdOutOfRangeIsRefusedBeforeTheLine",
     {"write", "devicenet", "--mac-id", "64"},
     {{2, kDeviceNetDefaults}},
     {},
     "",
     {},
     {{2, kDeviceNetDefaults}},
     "",
     "Invalid MAC ID!\n",
     1,
     ""},
    {"MacIdThatIsNoNumberIsRefused",
     {"write", "devicenet", "--mac-id", "1x"},
     {},
     {},
     "",
     {},
     {},
     "",
     "Invalid MAC ID!\n",
     1,
     ""},
    {"ProfibusWordsTheUtilityRefusesAreNotWritten",
     {"write", "profibus", "--node", "5"},
     {{3, "000D031E0000D000D000140000"}},
     {},
     "",
     {"18/0", "43/3"},
     {{3, "000D031E0000D000D000140000"}},
     "",
     "The sum of Input and Output must be less than 208\n",
     1,
     ""},
    {"WriteProfibusWithNothingStoredIsStatusThree",
     {"write", "profibus", "--node", "5"},
     {},
     {},
     "",
     {"18/0", "43/3"},
     {{3, ""}},
     "",
     "~^Profibus attributes are not currently programmed",
     3,
     ""},
    {"WriteEthernetCarriesTheRecordsTimeout",
     {"write", "ethernet", "--ip", "10.0.0.5", "--mask", "255.0.0.0", "--gateway", "10.0.0.1"},
     {},
     {},
     "",
     {"18/0", "42/1:0013010A000005FF0000000A000001FFFF1E00"},
     {{1, "0013010A000005FF0000000A000001FFFF1E00"}},
     "Ethernet attributes successfully programmed.\n",
     "",
     0,
     ""},
    {"EthernetAddressOutOfRangeIsRefused",
     {"write", "ethernet", "--ip", "10.0.0.256"},
     {},
     {},
     "",
     {},
     {},
     "",
     "~^Invalid address for --ip: '10.0.0.256'",
     1,
     ""},
    {"DisableEthernetWritesTheEmptyBlockOnly",
     {"disable-ethernet"},
     {{1, kEthernetDefaults}},
     {},
     "",
     {"42/1:0002"},
     {{1, ""}},
     "Ethernet attributes successfully disabled!\n",
     "",
     0,
     ""},
    {"OpenFailureSaysTheUtilitysText",
     {"--port", "COM2", "status"},
     {},
     {},
     "",
     {},
     {},
     "",
     "Error C01_1:  Unable to open communication port.\n",
     2,
     ""},
    {"ComPortPastTheListsEightReachesItsDevice",
     {"--port", "com12", "status"},
     {},
     {},
     "",
     {"18/0"},
     {},
     "statusId: 54560100\n",
     "",
     0,
     ""},
    {"ComPortNumberOutOfRangeIsRefused",
     {"--port", "COM257", "status"},
     {},
     {},
     "",
     {},
     {},
     "",
     "~^--port COM257 is out of range: use COM1 to COM256 or a device.\n",
     1,
     ""},
    {"ComPortWithNoDeviceBehindIsRefused",
     {"--port", "COM200", "status"},
     {},
     {},
     "",
     {},
     {},
     "",
     "~^No serial port is behind COM200\\. Map it with TALVOR_COM200=DEVICE",
     1,
     ""},
    {"PortsShowWhereEachMappingComesFrom",
     {"ports", "--json"},
     {},
     {},
     "",
     {},
     {},
     "~\"device\": \"/dev/pts/[0-9]+\",\\s+\"from\": \"TALVOR_COM1\",\\s+\"port\": \"COM1\"[\\s\\S]*"
     "\"device\": \"/dev/pts/[0-9]+\",\\s+\"from\": \"TALVOR_COM12\",\\s+\"port\": \"COM12\"",
     "",
     0,
     ""},
    {"TimeOutOfTheReadIsFollowedByTheReadFailure",
     {"read", "devicenet"},
     {{2, kDeviceNetDefaults}},
     {{SimFault::NoReply, 0, 43}},
     "",
     {"18/0", "43/2"},
     {},
     "",
     std::string(kTimeOutText) +
         "Could not read DeviceNet attributes from TALVOR. Make sure that the device is connected!\n",
     2,
     ""},
    {"SilentLinkResultStillExplainsTheFailure",
     {"status"},
     {},
     {{SimFault::Status, 18}},
     "",
     {"18/0"},
     {},
     "",
     "talvor-netcfg: the request failed without a message from the link; --trace shows the exchange.\n",
     2,
     ""},
    {"TraceShowsEveryFrameWithTiming",
     {"--trace", "status"},
     {},
     {},
     "",
     {"18/0"},
     {},
     "statusId: 54560100\n",
     "~^trace +[0-9.]+ ms  open .+: ok\ntrace +[0-9.]+ ms  sent     A5 12 02 00 01 00 00 00 00 0F 50\n"
     "trace +[0-9.]+ ms  received 5A 12 00 00 01 00 00 00 04 54 56 01 00 D6 FE \\([0-9.]+ ms after "
     "sending\\)\n$",
     0,
     ""},
    {"BackupKeepsEveryTypeAndNullForNone",
     {"backup", "{file}"},
     {{1, kEthernetDefaults}, {2, kDeviceNetDefaults}},
     {},
     "",
     {"18/0", "43/1", "43/2", "43/3"},
     {},
     "~^Saved the attributes to ",
     "",
     0,
     std::string("{\n    \"devicenet\": \"") + kDeviceNetDefaults + "\",\n    \"ethernet\": \"" +
         kEthernetDefaults +
         "\",\n    \"format\": \"talvor-netcfg backup\",\n    \"profibus\": null,\n    \"statusId\": "
         "\"54560100\",\n"
         "    \"version\": 1\n}\n"},
    {"RestoreWritesBlocksAndClearsTheOthers",
     {"restore", "{file}"},
     {{3, kProfibusDefaults}},
     {},
     std::string(
         R"({"format": "talvor-netcfg backup", "version": 1, "statusId": "54560100", "ethernet": null, )"
         R"("devicenet": ")") +
         kDeviceNetDefaults + R"(", "profibus": null})",
     {"42/1:0002", "18/1", "42/2:000C021E0000400004001400", "42/3:0002"},
     {{1, ""}, {2, kDeviceNetDefaults}, {3, ""}},
     "Ethernet attributes successfully disabled!\nDevicenet attributes successfully programmed.\n"
     "Profibus attributes successfully cleared.\n",
     "",
     0,
     ""},
    {"RestoreRefusesAnInvalidBlockBeforeWriting",
     {"restore", "{file}"},
     {{1, kEthernetDefaults}},
     {},
     R"({"format": "talvor-netcfg backup", "version": 1, "statusId": "", "ethernet": null, )"
     R"("devicenet": "000C021E0000400004004000", "profibus": null})",
     {},
     {{1, kEthernetDefaults}},
     "",
     "~: devicenet is not a valid block: Invalid MAC ID!; nothing was written.\n$",
     1,
     ""},
    {"RestoreRefusesAFileThatDoesNotParse",
     {"restore", "{file}"},
     {},
     {},
     "{\"format\": ",
     {},
     {},
     "",
     "~: not JSON: .* at offset",
     1,
     ""},
    {"OptionOfAnotherCommandIsRefused",
     {"status", "--mac-id", "3"},
     {},
     {},
     "",
     {},
     {},
     "",
     "talvor-netcfg: --mac-id does not apply to 'status'.\nTry 'talvor-netcfg --help'.\n",
     1,
     ""},
};

std::string RequestText(const ControllerSimulator::Request& request) {
    std::string text = std::to_string(request.msgCode) + "/" + std::to_string(request.networkType);
    if (!request.payload.empty()) {
        std::string hex = ToHex(request.payload);
        std::erase(hex, ' ');
        text += ":" + hex;
    }
    return text;
}

std::string StoredText(const ControllerSimulator& sim, int type) {
    const auto block = sim.StoredBlock(type);
    std::string hex = block ? ToHex(*block) : std::string();
    std::erase(hex, ' ');
    return hex;
}

void ExpectText(const std::string& actual, const std::string& expected, const char* stream) {
    if (expected.starts_with('~'))
        EXPECT_TRUE(QRegularExpression(QString::fromStdString(expected.substr(1)))
                        .match(QString::fromStdString(actual))
                        .hasMatch())
            << stream << " was:\n"
            << actual;
    else
        EXPECT_EQ(actual, expected) << stream;
}

// scripts/windows runs this table against the Windows build under Wine: TALVOR_NETCFG_EXE names the .exe,
// TALVOR_WINE the Wine loader, and Wine's COM1 and COM12 are the link TALVOR_WINE_COM1, pointed here at
// each case's simulator (Wine's COM2 leads nowhere, like the native one).
struct Launch {
    QString program;
    QStringList args;
    bool windows;
};

Launch NetcfgLaunch(const std::string& device, const QStringList& args) {
    const QString exe = qEnvironmentVariable("TALVOR_NETCFG_EXE");
    if (exe.isEmpty())
        return {TALVOR_NETCFG, args, false};
    const QString com1 = qEnvironmentVariable("TALVOR_WINE_COM1");
    QFile::remove(com1);
    EXPECT_TRUE(QFile::link(QString::fromStdString(device), com1)) << com1.toStdString();
    return {qEnvironmentVariable("TALVOR_WINE"), QStringList{exe} + args, true};
}

// Windows' text-mode streams end lines with CR LF.
std::string Output(QByteArray bytes, bool windows) {
    if (windows)
        bytes.replace("\r\n", "\n");
    return bytes.toStdString();
}

class NetcfgCommandTest : public testing::TestWithParam<NetcfgCase> {};

TEST_P(NetcfgCommandTest, RunsAgainstTheSimulator) {
    const NetcfgCase& c = GetParam();
    ControllerSimulator sim;
    for (const auto& [type, hex] : c.preload)
        sim.Preload(type, *FromHex(hex));
    for (const Fault& fault : c.faults)
        sim.InjectFault(fault.fault, 1, fault.status, fault.onlyMsgCode);
    sim.Start();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("backup.json");
    if (!c.fileIn.empty()) {
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
        in.write(c.fileIn.data(), static_cast<qint64>(c.fileIn.size()));
    }
    QStringList args;
    for (const std::string& arg : c.args)
        args << (arg == "{file}" ? file : QString::fromStdString(arg));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TALVOR_COM1", QString::fromStdString(sim.DevicePath()));
    environment.insert("TALVOR_COM2", "/nonexistent/talvor-com2");
    environment.insert("TALVOR_COM12", QString::fromStdString(sim.DevicePath()));
    const Launch launch = NetcfgLaunch(sim.DevicePath(), args);
    QProcess netcfg;
    netcfg.setProcessEnvironment(environment);
    netcfg.start(launch.program, launch.args);
    ASSERT_TRUE(netcfg.waitForFinished(20000));

    EXPECT_EQ(netcfg.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(netcfg.exitCode(), c.exit);
    ExpectText(Output(netcfg.readAllStandardOutput(), launch.windows), c.out, "stdout");
    ExpectText(Output(netcfg.readAllStandardError(), launch.windows), c.err, "stderr");
    std::vector<std::string> requests;
    for (const auto& request : sim.Requests())
        requests.push_back(RequestText(request));
    EXPECT_EQ(requests, c.requests);
    for (const auto& [type, hex] : c.stored)
        EXPECT_EQ(StoredText(sim, type), hex) << "type " << type;
    if (!c.fileOut.empty()) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::ReadOnly));
        EXPECT_EQ(out.readAll().toStdString(), c.fileOut);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, NetcfgCommandTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
