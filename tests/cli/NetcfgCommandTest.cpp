#include "model/Hex.h"
#include "sim/ControllerSimulator.h"
#include "tests/sim/QtCoreApp.h"
#include "tests/support/DeviceServer.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <csignal>
#include <signal.h>
#include <thread>

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include <unistd.h>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr char kDeviceNetDefaults[] = "000C021E0000400004001400";
constexpr char kProfibusDefaults[] = "000D031E000040000400140000";
constexpr char kEthernetDefaults[] = "001301C0A80101FFFFFF0000000000FFFF1E00";

constexpr char kStatusOut[] = "statusId: 54560100\n";

// The time-out message as the companion prints it: the dialog's text on one line.
constexpr char kTimeOutText[] =
    "Incorrect Communication Packet (Time Out Error). Check cable, communication port "
    "and ports assignment on panel.\n";

struct Fault {
    SimFault fault;
    std::uint32_t status = 0; // or a Late fault's delay in ms
    int onlyMsgCode = -1;
    int count = 1;
};

// One run of the real binary against a fresh simulator on COM1 and COM12; COM2 names no device. In the
// expected texts, {pty} stands for the simulator's device.
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
    std::string fileOut;          // {file}'s contents afterwards when not empty
    std::string interruptAt = ""; // `signal` once the simulator has this request (not under Wine)
    int opens = -1;               // of the port, when checked
    int signal = SIGINT;
};

std::string BackupText(const std::string& ethernet, const std::string& deviceNet, const std::string& profibus,
                       const std::string& statusId = "54560100") {
    const auto field = [](const std::string& hex) {
        return hex.empty() ? std::string("null") : '"' + hex + '"';
    };
    return R"({"format": "talvor-netcfg backup", "version": 1, "statusId": ")" + statusId +
           R"(", "ethernet": )" + field(ethernet) + R"(, "devicenet": )" + field(deviceNet) +
           R"(, "profibus": )" + field(profibus) + "}";
}

const NetcfgCase kCases[] = {
    {"StatusPrintsTheId", {"status"}, {}, {}, "", {"18/0"}, {}, "statusId: 54560100\n", "", 0, ""},
    {"ReadShowsTimesAsTheHeldByteAndTakesTypeNamesInAnyCase",
     {"read", "DeviceNet"},
     {{2, "000C021EC800400004001400"}},
     {},
     "",
     {"18/0", "43/2"},
     {},
     "macId:          20\nbaudRate:       125\nconsumedWords:  32\nproducedWords:  2\ntimeout:        30 "
     "(300 s)\n"
     "pollTime:       200 (2000 s)\n",
     "",
     0,
     ""},
    {"ReadNothingStoredIsStatusThreeWithThePortAndOneLineOfText",
     {"read", "profibus", "--json"},
     {},
     {},
     "",
     {"18/0", "43/3"},
     {},
     "{\n    \"device\": \"{pty}\",\n    \"error\": \"Profibus attributes are not currently programmed in "
     "TALVOR. This utility can only be used to set the Node Address for Profibus. Other attributes (such as "
     "Input Words and Output Words) need to be programmed using the TALVOR software.\",\n    \"exitStatus\": "
     "3,\n    \"port\": \"COM1\",\n    \"programmed\": false,\n    \"type\": \"profibus\"\n}\n",
     "Profibus attributes are not currently programmed in TALVOR. This utility can only be used to set the "
     "Node "
     "Address for Profibus. Other attributes (such as Input Words and Output Words) need to be programmed "
     "using "
     "the TALVOR software.\n",
     3,
     ""},
    {"WriteDeviceNetSendsBackTheControllersFieldsAndReadsThemBack",
     {"write", "devicenet", "--mac-id", "63", "--baud", "500"},
     {{2, "000C02050700FE0010000902"}},
     {},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C02050700FE0010003F02", "43/2"},
     {{2, "000C02050700FE0010003F02"}},
     "COM1 ({pty}): DeviceNet attributes successfully programmed: macId 63, baudRate 500.\n",
     "",
     0,
     "",
     "",
     1},
    {"WriteDeviceNetBaudAloneKeepsTheMacId",
     {"write", "devicenet", "--baud", "250", "--no-verify"},
     {{2, "000C021E0000400004001400"}},
     {},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C021E0000400004001401"},
     {{2, "000C021E0000400004001401"}},
     "COM1 ({pty}): DeviceNet attributes successfully programmed: baudRate 250.\n",
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
     "MAC ID 64 is out of range 0-63; nothing was written.\n",
     1,
     ""},
    {"NodeAddressThatIsNoNumberIsRefused",
     {"write", "profibus", "--node", "1x"},
     {},
     {},
     "",
     {},
     {},
     "",
     "Node address '1x' is not a number; nothing was written.\n",
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
     "The sum of Input and Output must be less than 208 (the controller holds 104 and 104 words); nothing "
     "was "
     "written.\n",
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
    {"WriteEthernetKeepsWhatItDoesNotName",
     {"write", "ethernet", "--ip", "192.168.10.50"},
     {{1, "001301C0A80A05FFFF0000C0A80A01FFFF3205"}},
     {},
     "",
     {"18/0", "43/1", "18/1", "42/1:001301C0A80A32FFFF0000C0A80A01FFFF3205", "43/1"},
     {{1, "001301C0A80A32FFFF0000C0A80A01FFFF3205"}},
     "COM1 ({pty}): Ethernet attributes successfully programmed: ipAddress 192.168.10.50.\n",
     "",
     0,
     ""},
    {"WriteEthernetWithNothingHeldStartsFromTheDefaults",
     {"write", "ethernet", "--ip", "10.0.0.5", "--mask", "255.0.0.0", "--gateway", "10.0.0.1", "--no-verify"},
     {},
     {},
     "",
     {"18/0", "43/1", "18/1", "42/1:0013010A000005FF0000000A000001FFFF1E00"},
     {{1, "0013010A000005FF0000000A000001FFFF1E00"}},
     "COM1 ({pty}): Ethernet attributes successfully programmed: ipAddress 10.0.0.5, subnetMask 255.0.0.0, "
     "gateway 10.0.0.1.\n",
     "COM1 ({pty}) holds no Ethernet attributes; starting from the defaults.\n",
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
    {"GatewayOutsideTheSubnetIsRefused",
     {"write", "ethernet", "--gateway", "10.0.0.1"},
     {{1, kEthernetDefaults}},
     {},
     "",
     {"18/0", "43/1"},
     {{1, kEthernetDefaults}},
     "",
     "Gateway 10.0.0.1 is outside the subnet 192.168.1.0/24; nothing was written. --force writes it as "
     "given.\n",
     1,
     ""},
    {"ForceWritesWhatTheDialogWouldAccept",
     {"write", "ethernet", "--mask", "255.0.255.0", "--force"},
     {{1, kEthernetDefaults}},
     {},
     "",
     {"18/0", "43/1", "18/1", "42/1:001301C0A80101FF00FF0000000000FFFF1E00", "43/1"},
     {{1, "001301C0A80101FF00FF0000000000FFFF1E00"}},
     "COM1 ({pty}): Ethernet attributes successfully programmed: subnetMask 255.0.255.0.\n",
     "",
     0,
     ""},
    {"DryRunPrintsTheBlockAndWritesNothing",
     {"write", "ethernet", "--ip", "192.168.1.7", "--dry-run"},
     {{1, kEthernetDefaults}},
     {},
     "",
     {"18/0", "43/1"},
     {{1, kEthernetDefaults}},
     "Would write the ethernet block 001301C0A80107FFFFFF0000000000FFFF1E00 to COM1 ({pty}) (ipAddress "
     "192.168.1.7); nothing was written.\n",
     "",
     0,
     ""},
    {"DisableEthernetWritesTheEmptyBlockAndReadsItBack",
     {"disable-ethernet"},
     {{1, kEthernetDefaults}},
     {},
     "",
     {"42/1:0002", "43/1"},
     {{1, ""}},
     "COM1 ({pty}): Ethernet attributes successfully disabled.\n",
     "",
     0,
     ""},
    {"LostReplyOfAWriteIsToldByTheReadBack",
     {"write", "devicenet", "--mac-id", "5"},
     {{2, kDeviceNetDefaults}},
     {{SimFault::BadChecksum, 0, 42}},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C021E0000400004000500", "43/2"},
     {{2, "000C021E0000400004000500"}},
     "COM1 ({pty}): DeviceNet attributes successfully programmed: macId 5.\n",
     "The reply to the write was lost, but COM1 ({pty}) holds the block written.\n",
     0,
     ""},
    {"WriteTheControllerDidNotTakeShowsBothBlocks",
     {"write", "devicenet", "--mac-id", "5"},
     {{2, kDeviceNetDefaults}},
     {{SimFault::NoReply, 0, 42}},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C021E0000400004000500", "43/2"},
     {{2, kDeviceNetDefaults}},
     "",
     std::string(kTimeOutText) +
         "DeviceNet attributes could not be programmed!\nCOM1 ({pty}) holds the devicenet block "
         "000C021E0000400004001400, not the block 000C021E0000400004000500 that was to be written.\n",
     2,
     ""},
    {"ReadBacksOfALostWriteStopAtTheirBoundAndLeaveItUnknown",
     {"write", "devicenet", "--mac-id", "5", "--json"},
     {{2, kDeviceNetDefaults}},
     {{SimFault::Late, 0, 43}, {SimFault::TruncatedReply, 0, 42}, {SimFault::NoReply, 0, 43, 10}},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C021E0000400004000500", "43/2", "43/2", "43/2", "43/2"},
     {{2, "000C021E0000400004000500"}},
     "~\"exitStatus\": 2,\n    \"written\": \"unknown\"\n}\n$",
     "~\\(1 of 3\\)[^\n]+\n[^\n]+\\(2 of 3\\)[^\n]+\n[^\n]+\\(3 of 3\\)[\\s\\S]+\nWhether COM1( \\(.+\\))? holds "
     "the devicenet block written is not known: the reply to the write was lost and it could not be read "
     "back\\.\n$",
     2,
     ""},
    {"WriteWithItsReplyLostAndNothingReadBackIsUnknownAlsoInJson",
     {"disable-ethernet", "--no-verify", "--json"},
     {{1, kEthernetDefaults}},
     {{SimFault::TruncatedReply, 0, 42}},
     "",
     {"42/1:0002"},
     {{1, ""}},
     "~\"exitStatus\": 2,\n    \"written\": \"unknown\"\n}\n$",
     "~^[^\n]+\nWhether COM1( \\(.+\\))? holds the ethernet block written is not known: the reply to the write was "
     "lost and --no-verify reads nothing back\\.\n$",
     2,
     ""},
    {"CtrlCEndsTheReadBacksOfALostWriteAndLeavesItUnknown",
     {"disable-ethernet", "--json"},
     {{1, kEthernetDefaults}},
     {{SimFault::TruncatedReply, 0, 42}, {SimFault::NoReply, 0, 43, 10}},
     "",
     {"42/1:0002", "43/1"},
     {{1, ""}},
     "~\"exitStatus\": 130,\n    \"written\": \"unknown\"\n}\n$",
     "~^[^\n]+\nInterrupted: the reply to the ethernet write was lost and the block was not read back; "
     "whether COM1 \\(.+\\) holds it is not known\\.\n$",
     130,
     "",
     "43/1"},
    {"EthernetOffIsNotSwitchedOnWithoutAnAddress",
     {"write", "ethernet", "--mask", "255.255.0.0"},
     {},
     {},
     "",
     {"18/0", "43/1"},
     {{1, ""}},
     "",
     "COM1 ({pty}) holds no Ethernet attributes: Ethernet is off, and switching it on needs an IP address; "
     "nothing was written.\n",
     1,
     ""},
    {"ControllersRefusalIsStatusFourAndNotRepeated",
     {"write", "devicenet", "--mac-id", "5", "--retries", "2"},
     {{2, kDeviceNetDefaults}},
     {{SimFault::Status, 22, 42}},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C021E0000400004000500"},
     {{2, kDeviceNetDefaults}},
     "",
     "The controller refused the request with status 22: Password does not match the system attributes "
     "password.\nDeviceNet attributes could not be programmed!\n",
     4,
     ""},
    {"RetriesRepeatARequestThatFailedOnTheLine",
     {"read", "ethernet", "--retries", "1"},
     {{1, kEthernetDefaults}},
     {{SimFault::NoReply, 0, 43}},
     "",
     {"18/0", "43/1", "43/1"},
     {},
     "~^ipAddress: +192.168.1.1\n",
     "Repeating the request (1 of 1) after a failure on the line: link result 2 (Incorrect Communication "
     "Packet "
     "(Time Out Error).)\n",
     0,
     "",
     "",
     2},
    {"OpenFailureNamesTheDeviceAndTheSystemsReasonAlsoInJson",
     {"--port", "COM2", "status", "--json"},
     {},
     {},
     "",
     {},
     {},
     "{\n    \"error\": \"cannot open /nonexistent/talvor-com2: No such file or directory\",\n    "
     "\"exitStatus\": 2\n}\n",
     "cannot open /nonexistent/talvor-com2: No such file or directory\n",
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
     "~\"device\": \"/dev/pts/[0-9]+\",\\s+\"from\": \"TALVOR_COM1\",\\s+\"missing\": false,\\s+"
     "\"port\": \"COM1\"[\\s\\S]*"
     "\"device\": \"/dev/pts/[0-9]+\",\\s+\"from\": \"TALVOR_COM12\",\\s+\"missing\": false,\\s+"
     "\"port\": \"COM12\"",
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
    {"SilentStatusIsARefusalAndStillExplained",
     {"status"},
     {},
     {{SimFault::Status, 18}},
     "",
     {"18/0"},
     {},
     "",
     "The controller refused the request with status 18 and gave no reason.\n",
     4,
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
    {"TraceShowsARejectedReplyAndNamesTheResult",
     {"--trace", "status"},
     {},
     {{SimFault::WrongMessageCode}},
     "",
     {"18/0"},
     {},
     "",
     "~\ntrace +[0-9.]+ ms  rejected 5A [0-9A-F ]+ \\(link result 3 \\(Incorrect Communication Packet "
     "\\(Incorrect message code\\)\\.\\), [0-9.]+ ms after sending\\)\ntrace +[0-9.]+ ms  failed   "
     "link result 2 \\(Incorrect Communication Packet \\(Time Out Error\\)\\.\\), reply rejected "
     "\\([0-9.]+ ms after sending\\)\n",
     2,
     ""},
    {"BackupKeepsEveryTypeAndNullForNone",
     {"backup", "{file}"},
     {{1, kEthernetDefaults}, {2, kDeviceNetDefaults}},
     {},
     "",
     {"18/0", "43/1", "43/2", "43/3"},
     {},
     "~^Saved the attributes of COM1( \\(.+\\))? to ",
     "",
     0,
     std::string("{\n    \"devicenet\": \"") + kDeviceNetDefaults + "\",\n    \"ethernet\": \"" +
         kEthernetDefaults +
         "\",\n    \"fields\": {\n        \"devicenet\": {\n            \"baudRate\": 125,\n            \"consumedWords\": "
         "32,\n            \"macId\": 20,\n            \"pollTime\": 0,\n            \"producedWords\": 2,\n            "
         "\"timeout\": 30\n        },\n        \"ethernet\": {\n            \"gateway\": \"0.0.0.0\",\n            "
         "\"ipAddress\": \"192.168.1.1\",\n            \"pollTime\": 0,\n            \"subnetMask\": "
         "\"255.255.255.0\",\n            \"timeout\": 30\n        }\n    },\n    \"format\": \"talvor-netcfg backup\",\n    "
         "\"profibus\": null,\n    \"statusId\": "
         "\"54560100\",\n"
         "    \"version\": 1\n}\n"},
    {"BackupToStandardOutput",
     {"backup", "-"},
     {{3, kProfibusDefaults}},
     {},
     "",
     {"18/0", "43/1", "43/2", "43/3"},
     {},
     std::string(
         "{\n    \"devicenet\": null,\n    \"ethernet\": null,\n    \"fields\": {\n        \"profibus\": {\n            "
         "\"inputWords\": 32,\n            \"nodeAddress\": 20,\n            \"outputWords\": 2,\n            \"pollTime\": "
         "0,\n            \"timeout\": 30\n        }\n    },\n    \"format\": \"talvor-netcfg backup\",\n"
         "    \"profibus\": \"") +
         kProfibusDefaults + "\",\n    \"statusId\": \"54560100\",\n    \"version\": 1\n}\n",
     "",
     0,
     ""},
    {"RestoreWritesBlocksAndAnnouncesClearingTheOthers",
     {"restore", "{file}"},
     {{3, kProfibusDefaults}},
     {},
     BackupText("", kDeviceNetDefaults, ""),
     {"18/0", "43/1", "43/2", "18/2", "42/2:000C021E0000400004001400", "43/2", "43/3", "42/3:0002", "43/3"},
     {{1, ""}, {2, kDeviceNetDefaults}, {3, ""}},
     "ethernet: none held and none in the backup\ndevicenet: DeviceNet attributes successfully programmed: "
     "none "
     "-> macId 20, baudRate 125, consumedWords 32, producedWords 2, timeout 30 (300 s), pollTime 0 (0 s)\n"
     "profibus: Profibus attributes successfully cleared: nodeAddress 20, inputWords 32, outputWords 2, "
     "timeout 30 (300 s), pollTime 0 (0 s) -> none\nRestored {file} to COM1 ({pty}).\n",
     "COM1 ({pty}) holds profibus attributes that the backup does not have: clearing them.\n",
     0,
     "",
     "",
     1},
    {"RestoreGoesOnPastAFailedTypeAndEndsWithTheWorst",
     {"restore", "{file}", "--json", "--no-verify"},
     {{2, "000C021E0000400004000500"}},
     {{SimFault::Status, 22, 42}},
     BackupText(kEthernetDefaults, kDeviceNetDefaults, ""),
     {"18/0", "43/1", "18/1", "42/1:001301C0A80101FFFFFF0000000000FFFF1E00", "43/2", "18/2",
      "42/2:000C021E0000400004001400", "43/3"},
     {{1, ""}, {2, kDeviceNetDefaults}},
     "{\n    \"device\": \"{pty}\",\n    \"dryRun\": false,\n    \"exitStatus\": 4,\n"
     "    \"file\": \"{file}\",\n    \"interrupted\": false,\n    \"port\": \"COM1\",\n"
     "    \"types\": {\n        \"devicenet\": {\n"
     "            \"block\": \"000C021E0000400004001400\",\n            \"changes\": {\n"
     "                \"macId\": {\n                    \"held\": 5,\n"
     "                    \"restored\": 20\n                }\n            },\n"
     "            \"exitStatus\": 0,\n"
     "            \"outcome\": \"DeviceNet attributes successfully programmed: macId 5 -> 20\",\n"
     "            \"written\": \"yes\"\n"
     "        },\n        \"ethernet\": {\n"
     "            \"block\": \"001301C0A80101FFFFFF0000000000FFFF1E00\",\n"
     "            \"changes\": {\n                \"gateway\": {\n"
     "                    \"held\": null,\n                    \"restored\": \"0.0.0.0\"\n"
     "                },\n                \"ipAddress\": {\n                    \"held\": null,\n"
     "                    \"restored\": \"192.168.1.1\"\n                },\n"
     "                \"pollTime\": {\n                    \"held\": null,\n"
     "                    \"restored\": 0\n                },\n                \"subnetMask\": {\n"
     "                    \"held\": null,\n                    \"restored\": \"255.255.255.0\"\n"
     "                },\n                \"timeout\": {\n                    \"held\": null,\n"
     "                    \"restored\": 30\n                }\n            },\n"
     "            \"exitStatus\": 4,\n            \"outcome\": \"failed\",\n"
     "            \"written\": \"no\"\n        },\n"
     "        \"profibus\": {\n            \"exitStatus\": 0,\n"
     "            \"outcome\": \"none held and none in the backup\"\n        }\n    }\n}\n",
     "The controller refused the request with status 22: Password does not match the system attributes "
     "password.\nEthernet attributes could not be programmed!\n",
     4,
     ""},
    {"RestoreRefusesAnotherControllersBackup",
     {"restore", "{file}"},
     {},
     {},
     BackupText(kEthernetDefaults, "", "", "54560200"),
     {"18/0"},
     {{1, ""}},
     "",
     "~ was saved from a controller with status id 54560200; COM1( \\(.+\\))? answers 54560100\\. Nothing was "
     "written; --force restores it anyway\\.\n$",
     1,
     ""},
    {"RestoreRefusesAnInvalidBlockBeforeWriting",
     {"restore", "{file}"},
     {{1, kEthernetDefaults}},
     {},
     BackupText("", "000C021E0000400004004000", ""),
     {},
     {{1, kEthernetDefaults}},
     "",
     "~: devicenet is not a valid block: macId 64 is out of range 0-63; nothing was written.\n$",
     1,
     ""},
    {"RestoreRefusesFieldsThatDoNotSayWhatTheBlocksHold",
     {"restore", "{file}"},
     {{2, kDeviceNetDefaults}},
     {},
     BackupText("", kDeviceNetDefaults, "").insert(1, R"("fields": {"devicenet": {"macId": 5}}, )"),
     {},
     {{2, kDeviceNetDefaults}},
     "",
     "~: its fields do not match its blocks \\(the blocks are what is restored\\): correct the fields or leave "
     "them out; nothing was written.\n$",
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
    {"OptionGivenTwiceIsRefused",
     {"--port", "COM1", "status", "--port", "COM2"},
     {},
     {},
     "",
     {},
     {},
     "",
     "talvor-netcfg: --port is given more than once.\nTry 'talvor-netcfg --help'.\n",
     1,
     ""},
    {"ComPortOutOfRangeIsRefused",
     {"--port", "COM0", "status"},
     {},
     {},
     "",
     {},
     {},
     "",
     "--port COM0 is out of range: use COM1 to COM256 or a device.\n",
     1,
     ""},
    {"RepeatedWriteTellsOnlyTheNoteAndTheOutcome",
     {"write", "devicenet", "--mac-id", "5", "--retries", "1"},
     {{2, kDeviceNetDefaults}},
     {{SimFault::NoReply, 0, 42}},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C021E0000400004000500", "18/2", "42/2:000C021E0000400004000500",
      "43/2"},
     {{2, "000C021E0000400004000500"}},
     "COM1 ({pty}): DeviceNet attributes successfully programmed: macId 5.\n",
     "Repeating the request (1 of 1) after a failure on the line: link result 2 (Incorrect Communication "
     "Packet (Time Out Error).)\n",
     0,
     ""},
    {"RefusedReadShowsTheStatusWithoutCableAdviceAndSeparatesTheMessagesInJson",
     {"read", "devicenet", "--json"},
     {{2, kDeviceNetDefaults}},
     {{SimFault::Status, 22, 43}},
     "",
     {"18/0", "43/2"},
     {},
     "{\n    \"error\": \"The controller refused the request with status 22: Password does not match the "
     "system attributes password.\\nCould not read DeviceNet attributes from TALVOR.\",\n    \"exitStatus\": "
     "4\n}\n",
     "The controller refused the request with status 22: Password does not match the system attributes "
     "password.\nCould not read DeviceNet attributes from TALVOR.\n",
     4,
     ""},
    {"UnknownStatusIsNamedWithoutCableAdvice",
     {"read", "ethernet"},
     {{1, kEthernetDefaults}},
     {{SimFault::Status, 99, 43}},
     "",
     {"18/0", "43/1"},
     {},
     "",
     "The controller refused the request with status 99, which this program does not know.\nCould not read "
     "Ethernet attributes from TALVOR.\n",
     4,
     ""},
    {"MaskOfAllOnesIsBlamedOnTheMask",
     {"write", "ethernet", "--mask", "255.255.255.255"},
     {{1, kEthernetDefaults}},
     {},
     "",
     {"18/0", "43/1"},
     {{1, kEthernetDefaults}},
     "",
     "Subnet mask 255.255.255.255 leaves no host address in the subnet; nothing was written. --force writes "
     "it as given.\n",
     1,
     ""},
    {"HeldGatewayOutsideTheNewSubnetIsNamedAsHeld",
     {"write", "ethernet", "--ip", "10.0.0.5", "--mask", "255.0.0.0"},
     {{1, "001301C0A80105FFFFFF00C0A801FEFFFF1E00"}},
     {},
     "",
     {"18/0", "43/1"},
     {{1, "001301C0A80105FFFFFF00C0A801FEFFFF1E00"}},
     "",
     "Gateway 192.168.1.254 is outside the subnet 10.0.0.0/8 (the value COM1 ({pty}) holds; --gateway "
     "changes "
     "it); nothing was written. --force writes it as given.\n",
     1,
     ""},
    {"RestoreDryRunShowsWhatChangesAndWritesNothing",
     {"restore", "{file}", "--dry-run"},
     {{2, kDeviceNetDefaults}},
     {},
     BackupText("", "000C021E0000400004000500", ""),
     {"18/0", "43/1", "43/2", "43/3"},
     {{2, kDeviceNetDefaults}},
     "ethernet: none held and none in the backup\ndevicenet: would write 000C021E0000400004000500: macId 20 "
     "-> "
     "5\nprofibus: none held and none in the backup\nWould restore {file} to COM1 ({pty}); nothing was "
     "written.\n",
     "",
     0,
     ""},
    {"InterruptedRestoreCutsTheExchangeShortAndTellsWhatWasDone",
     {"restore", "{file}"},
     {{1, kEthernetDefaults}, {3, kProfibusDefaults}},
     {{SimFault::Late, 300, 42, 2}},
     BackupText("", "000C021E0000400004000500", ""),
     {"18/0", "43/1", "42/1:0002", "43/1", "43/2", "18/2", "42/2:000C021E0000400004000500"},
     {{1, ""}, {2, "000C021E0000400004000500"}, {3, kProfibusDefaults}},
     "ethernet: Ethernet attributes successfully disabled: ipAddress 192.168.1.1, subnetMask 255.255.255.0, "
     "gateway 0.0.0.0, timeout 30 (300 s), pollTime 0 (0 s) -> none\ndevicenet: interrupted: whether it "
     "was written is not known (exit status 130)\nprofibus: not restored: interrupted (exit status 130)\n"
     "Interrupted: restoring {file} to COM1 ({pty}) stopped.\n",
     "COM1 ({pty}) holds ethernet attributes that the backup does not have: clearing them.\nInterrupted: the "
     "reply to the devicenet write was lost and the block was not read back; whether COM1 ({pty}) holds it "
     "is not known.\n",
     130,
     "",
     "42/2:000C021E0000400004000500",
     1},
    {"InterruptedWriteSaysWhatTheControllerGotInJson",
     {"write", "devicenet", "--mac-id", "5", "--json"},
     {{2, kDeviceNetDefaults}},
     {{SimFault::Late, 300, 42}},
     "",
     {"18/0", "43/2", "18/2", "42/2:000C021E0000400004000500"},
     {{2, "000C021E0000400004000500"}},
     "{\n    \"error\": \"Interrupted: the reply to the devicenet write was lost and the block was not read "
     "back; whether COM1 ({pty}) holds it is not known.\",\n"
     "    \"exitStatus\": 130,\n    \"written\": \"unknown\"\n}\n",
     "Interrupted: the reply to the devicenet write was lost and the block was not read back; whether COM1 "
     "({pty}) holds it is not known.\n",
     130,
     "",
     "42/2:000C021E0000400004000500"},
    {"SigtermEndsTheWaitForASilentControllerAtOnce", {"status", "--retries", "3"}, {},
     {{SimFault::NoReply, 0, 18, 10}}, "", {"18/0"}, {}, "", "Interrupted: stopped before the next request.\n",
     130, "", "18/0", 1, SIGTERM},
    {"ProbeSaysWhyAPortDidNotAnswer",
     {"probe"},
     {},
     {},
     "",
     {"18/0"},
     {},
     "~^COM1 \\(.+\\)  statusId 54560100\nCOM2 \\(/nonexistent/talvor-com2\\)  cannot open "
     "/nonexistent/talvor-com2: No such file or directory\n",
     "",
     0,
     ""},
};

// The simulator behind a serial device server: "{rfc2217}", "{socket}" and "{rfc2217 ::1}" stand for its
// ports there, "{socket busy}" for a raw one another client holds. A Served() run succeeds and says
// nothing on stderr.
NetcfgCase Served(const char* name, std::vector<std::string> args, std::map<int, std::string> preload,
                  std::vector<std::string> requests, std::map<int, std::string> stored, std::string out) {
    return {name, args, preload, {}, "", requests, stored, out, "", 0, ""};
}

const NetcfgCase kServedCases[] = {
    Served("StatusOverRfc2217", {"--port", "{rfc2217}", "status"}, {}, {"18/0"}, {}, kStatusOut),
    Served("StatusOverRawTcp", {"--port", "{socket}", "status"}, {}, {"18/0"}, {}, kStatusOut),
    Served("StatusOverIpv6", {"--port", "{rfc2217 ::1}", "status"}, {}, {"18/0"}, {}, kStatusOut),
    Served("ReadOverRfc2217", {"--port", "{rfc2217}", "read", "devicenet"}, {{2, "000C021EC800400004001400"}},
           {"18/0", "43/2"}, {}, "~^macId: +20\nbaudRate: +125\n"),
    Served("ReadOverRawTcp", {"--port", "{socket}", "read", "ethernet"}, {{1, kEthernetDefaults}},
           {"18/0", "43/1"}, {}, "~^ipAddress: +192.168.1.1\n"),
    Served("WriteOverRfc2217ReadsBack",
           {"--port", "{rfc2217}", "write", "devicenet", "--mac-id", "63", "--baud", "500"},
           {{2, "000C02050700FE0010000902"}},
           {"18/0", "43/2", "18/2", "42/2:000C02050700FE0010003F02", "43/2"},
           {{2, "000C02050700FE0010003F02"}},
           "~: DeviceNet attributes successfully programmed: macId 63, baudRate 500.\n$"),
    // The server says the port is busy before it closes.
    {"BusyRawPortSaysWhy",
     {"--port", "{socket busy}", "status", "--json"},
     {},
     {},
     "",
     {},
     {},
     "{\n    \"error\": \"Error in transmitting data. The server closed the connection; the server said "
     "\\\"Port already in use\\\".\",\n    \"exitStatus\": 2\n}\n",
     "Error in transmitting data. The server closed the connection; the server said \"Port already in "
     "use\".\n",
     2,
     ""},
    // The link's time-out text speaks of a cable: a server's port adds what to check on the network.
    {"TimeOutOnAServersPortSaysWhatToCheckThere",
     {"--port", "{socket}", "status"},
     {},
     {{SimFault::NoReply, 0, 18}},
     "",
     {"18/0"},
     {},
     "",
     "~^Incorrect Communication Packet \\(Time Out Error\\)\\. Check cable, communication port and ports "
     "assignment on panel\\. On a device server, check that its port is set up as the controller's line ",
     2,
     ""},
};

// The command line alone: help, names and values refused before any request.
const NetcfgCase kCommandLineCases[] = {
    {"HelpForACommandShowsTheProgramsName",
     {"help", "backup"},
     {},
     {},
     "",
     {},
     {},
     "~^Usage: talvor-netcfg \\[options\\] backup FILE\\|-\n",
     "",
     0,
     ""},
    {"HelpFitsAnEightyColumnConsoleAndKeepsQtsOwnOptionsOut",
     {"--help"},
     {},
     {},
     "",
     {},
     {},
     "~^Usage: talvor-netcfg (?![\\s\\S]*help-all)(?:[^\n]{0,79}\n)+$",
     "",
     0,
     ""},
    {"AfterTwoDashesNothingIsAnOption",
     {"status", "--", "--json", "/?"},
     {},
     {},
     "",
     {},
     {},
     "",
     "talvor-netcfg: Usage: talvor-netcfg status\nTry 'talvor-netcfg --help'.\n",
     1,
     ""},
    {"SlashQuestionMarkIsHelp",
     {"/?"},
     {},
     {},
     "",
     {},
     {},
     "~^Usage: talvor-netcfg \\[options\\] command",
     "",
     0,
     ""},
    {"DashHAfterACommandIsThatCommandsHelp",
     {"write", "-h"},
     {},
     {},
     "",
     {},
     {},
     "~^Usage: talvor-netcfg \\[options\\] write devicenet",
     "",
     0,
     ""},
    {"HelpTakesOptionsCopiedFromAnotherLine",
     {"--port", "COM2", "help", "write"},
     {},
     {},
     "",
     {},
     {},
     "~^Usage: talvor-netcfg \\[options\\] write devicenet",
     "",
     0,
     ""},
    {"HelpInJson",
     {"--json", "help", "status"},
     {},
     {},
     "",
     {},
     {},
     "~^\\{\n    \"help\": \"Usage: talvor-netcfg",
     "",
     0,
     ""},
    {"CommandNamesInAnyCase", {"STATUS"}, {}, {}, "", {"18/0"}, {}, "statusId: 54560100\n", "", 0, ""},
    {"MisspeltCommandGetsASuggestion",
     {"wirte", "devicenet"},
     {},
     {},
     "",
     {},
     {},
     "",
     "talvor-netcfg: Unknown command 'wirte'. Did you mean 'write'?\nTry 'talvor-netcfg --help'.\n",
     1,
     ""},
    {"WaitLimitWithoutAUnit",
     {"commission", "plan.csv", "--wait=10"},
     {},
     {},
     "",
     {},
     {},
     "",
     "talvor-netcfg: --wait=10 is no time limit: give 1s to 24h, such as --wait=10m.\nTry 'talvor-netcfg --help'.\n",
     1,
     ""},
    {"RetriesThatAreNoNumber",
     {"status", "--retries", "two"},
     {},
     {},
     "",
     {},
     {},
     "",
     "talvor-netcfg: --retries 'two' is not a number.\nTry 'talvor-netcfg --help'.\n",
     1,
     ""},
    {"HexMacIdIsNoNumber",
     {"write", "devicenet", "--mac-id", "0x0C"},
     {},
     {},
     "",
     {},
     {},
     "",
     "MAC ID '0x0C' is not a number; nothing was written.\n",
     1,
     ""},
    {"EmptyMacIdIsNoNumber",
     {"write", "devicenet", "--mac-id", ""},
     {},
     {},
     "",
     {},
     {},
     "",
     "MAC ID '' is not a number; nothing was written.\n",
     1,
     ""},
    {"MisspeltComPortIsNoPortName",
     {"--port", "COMx", "status"},
     {},
     {},
     "",
     {},
     {},
     "",
     "--port COMx is no port name: use COM1 to COM256 (COMn, n a number) or a device.\n",
     1,
     ""},
    // Not opened as a file of that name (exit status 2).
    {"SchemeWithOneSlashIsAMalformedAddress",
     {"--port", "RFC2217:/cabinet-4:2001", "status"},
     {},
     {},
     "",
     {},
     {},
     "",
     "--port RFC2217:/cabinet-4:2001 is no port address: two slashes follow the scheme: "
     "rfc2217://HOST:PORT.\n",
     1,
     ""},
    {"ComPortWithAColonIsNoPortName",
     {"--port", "COM1:", "status", "--json"},
     {},
     {},
     "",
     {},
     {},
     "{\n    \"error\": \"--port COM1: is no port name: use COM1 to COM256 (COMn, n a number) or a "
     "device.\",\n"
     "    \"exitStatus\": 1\n}\n",
     "--port COM1: is no port name: use COM1 to COM256 (COMn, n a number) or a device.\n",
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

void ExpectText(const std::string& actual, std::string expected, const char* stream,
                const std::map<std::string, std::string>& placeholders) {
    for (const auto& [name, value] : placeholders)
        for (std::size_t at = expected.find(name); at != std::string::npos; at = expected.find(name, at))
            expected.replace(at, name.size(), value);
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
        sim.InjectFault(fault.fault, fault.count, fault.status, fault.onlyMsgCode);
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
    DeviceServer server;
    for (QString& arg : args)
        if (arg.startsWith("{rfc2217") || arg.startsWith("{socket")) {
            const std::string url = server.Add(
                sim.DevicePath(),
                arg.startsWith("{socket") ? DeviceServer::Accepter::Raw : DeviceServer::Accepter::Rfc2217,
                arg.contains("::1") ? "::1" : "127.0.0.1");
            if (url.empty())
                GTEST_SKIP() << "no IPv6 loopback on this machine";
            ASSERT_EQ(server.Start(), "");
            if (arg == "{socket busy}")
                server.Occupy();
            arg = QString::fromStdString(url);
        }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TALVOR_COM1", QString::fromStdString(sim.DevicePath()));
    environment.insert("TALVOR_COM2", "/nonexistent/talvor-com2");
    environment.insert("TALVOR_COM12", QString::fromStdString(sim.DevicePath()));
    const Launch launch = NetcfgLaunch(sim.DevicePath(), args);
    if (!c.interruptAt.empty() && launch.windows)
        GTEST_SKIP() << "a console's Ctrl-C does not reach a program under Wine from here";
    QProcess netcfg;
    netcfg.setProcessEnvironment(environment);
    netcfg.start(launch.program, launch.args);
    if (!c.interruptAt.empty()) {
        // The request is on the line: the signal lands inside its exchange, which the reply ends.
        const auto seen = [&] {
            for (const auto& request : sim.Requests())
                if (RequestText(request) == c.interruptAt)
                    return true;
            return false;
        };
        ASSERT_TRUE(netcfg.waitForStarted()); // a first request may come before Qt has seen the start
        while (!seen() && !netcfg.waitForFinished(10)) {
        }
        ASSERT_EQ(netcfg.state(), QProcess::Running) << "finished before " << c.interruptAt;
        ::kill(static_cast<pid_t>(netcfg.processId()), c.signal);
    }
    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_TRUE(netcfg.waitForFinished(20000));
    // An interruption ends the run at once: the bound leaves a loaded machine room.
    EXPECT_TRUE(c.interruptAt.empty() || std::chrono::steady_clock::now() - signalled < std::chrono::seconds(1));

    EXPECT_EQ(netcfg.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(netcfg.exitCode(), c.exit);
    // COM1's device is the simulator's pty, and on Windows COM1 itself, which is then named once. The map
    // replaces "COM1 ({pty})" before "{pty}".
    const std::string pty = launch.windows ? "COM1" : sim.DevicePath();
    const std::map<std::string, std::string> placeholders{
        {"COM1 ({pty})", launch.windows ? "COM1" : "COM1 (" + pty + ")"},
        {"{pty}", pty},
        {"{file}", file.toStdString()}};
    ExpectText(Output(netcfg.readAllStandardOutput(), launch.windows), c.out, "stdout", placeholders);
    ExpectText(Output(netcfg.readAllStandardError(), launch.windows), c.err, "stderr", placeholders);
    std::vector<std::string> requests;
    for (const auto& request : sim.Requests())
        requests.push_back(RequestText(request));
    EXPECT_EQ(requests, c.requests);
    for (const auto& [type, hex] : c.stored)
        EXPECT_EQ(StoredText(sim, type), hex) << "type " << type;
    if (c.opens >= 0) {
        // Each close is one open; the simulator notices them as they come.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (sim.ClientCloses() < c.opens && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(sim.ClientCloses(), c.opens);
    }
    if (!c.fileOut.empty()) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::ReadOnly));
        EXPECT_EQ(out.readAll().toStdString(), c.fileOut);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, NetcfgCommandTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Served, NetcfgCommandTest, testing::ValuesIn(kServedCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(CommandLine, NetcfgCommandTest, testing::ValuesIn(kCommandLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A device this user may not open: the error names the group that owns it and the fix. Root opens
// every file, so this runs without privileges only; the text itself is checked for any group elsewhere.
TEST(NetcfgPortErrors, PermissionDeniedSaysTheFix) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens every file";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString device = dir.filePath("ttyUSB0");
    QFile node(device);
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.close();
    ASSERT_TRUE(node.setPermissions({}));
    const QString group = QFileInfo(device).group();
    QProcess netcfg;
    netcfg.start(TALVOR_NETCFG, {"--port", device, "status"});
    ASSERT_TRUE(netcfg.waitForFinished(20000));
    EXPECT_EQ(netcfg.exitCode(), 2);
    EXPECT_EQ(netcfg.readAllStandardError().toStdString(),
              QStringLiteral("cannot open %1: Permission denied. %1 belongs to group %2: add your user to that "
                             "group (sudo usermod -aG %2 $USER), then log in again.\n")
                  .arg(device, group)
                  .toStdString());
}

// Another program holding the port: the error says so, beside the system's reason.
TEST(NetcfgPortErrors, PortHeldByAnotherProgramSaysSo) {
    ControllerSimulator sim;
    sim.Start();
    QProcess holder;
    holder.start(TALVOR_PORT_HOLDER, {QString::fromStdString(sim.DevicePath())});
    ASSERT_TRUE(holder.waitForReadyRead(5000)) << holder.readAllStandardError().toStdString();
    QProcess netcfg;
    netcfg.start(TALVOR_NETCFG, {"--port", QString::fromStdString(sim.DevicePath()), "status"});
    ASSERT_TRUE(netcfg.waitForFinished(20000));
    EXPECT_EQ(netcfg.exitCode(), 2);
    EXPECT_EQ(netcfg.readAllStandardError().toStdString(),
              "cannot open " + sim.DevicePath() + ": another program is using it (Device or resource busy)\n");
    holder.closeWriteChannel();
    EXPECT_TRUE(holder.waitForFinished(5000));
}

// A controller that took the write and then went, adapter and all, before the reply came whole: the
// repeat's failed reopen does not make the write "not written".
TEST(NetcfgPortErrors, AFailedReopenAfterALostReplyLeavesTheWriteUnknown) {
    auto sim = std::make_unique<ControllerSimulator>();
    sim->Preload(2, *FromHex(kDeviceNetDefaults));
    sim->InjectFault(SimFault::TruncatedReply, 1, 0, 42);
    sim->Start();
    QProcess netcfg;
    netcfg.start(TALVOR_NETCFG, {"--port", QString::fromStdString(sim->DevicePath()), "write", "devicenet",
                                 "--mac-id", "5", "--retries", "1", "--json"});
    const auto written = [&sim] {
        const auto requests = sim->Requests();
        return std::any_of(requests.begin(), requests.end(),
                           [](const auto& request) { return request.msgCode == 42; });
    };
    while (!written() && !netcfg.waitForFinished(5)) {
    }
    sim.reset();
    ASSERT_TRUE(netcfg.waitForFinished(20000));
    EXPECT_EQ(netcfg.exitCode(), 2);
    EXPECT_NE(netcfg.readAllStandardOutput().indexOf("\"written\": \"unknown\""), -1);
    EXPECT_NE(netcfg.readAllStandardError().indexOf("holds the devicenet block written is not known"), -1);
}

// SIGTERM ends an open at once, as interrupted: an unanswered lookup, a full listener queue, a silent server.
TEST(NetcfgInterruption, SigtermEndsTheOpensWaitAtOnce) {
    QTemporaryDir dir;
    const QString begun = dir.filePath("lookup-begun");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_PRELOAD", TALVOR_UNANSWERED_LOOKUP);
    environment.insert("TALVOR_LOOKUP_BEGUN", begun);
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    int sockets[3];
    std::uint16_t ports[2];
    for (int i : {0, 1}) {
        sockets[i] = ::socket(AF_INET, SOCK_STREAM, 0);
        ::bind(sockets[i], reinterpret_cast<sockaddr*>(&address), length);
        ::listen(sockets[i], 0);
        ::getsockname(sockets[i], reinterpret_cast<sockaddr*>(&address), &length);
        ports[i] = ntohs(std::exchange(address.sin_port, 0));
    }
    sockets[2] = ::socket(AF_INET, SOCK_STREAM, 0);
    address.sin_port = htons(ports[0]);
    ASSERT_EQ(::connect(sockets[2], reinterpret_cast<sockaddr*>(&address), length), 0);
    // Signalled once the lookup has begun, or the connection waits for the answer to its SYN (02) or is made.
    const auto connection = [](std::uint16_t port, const char* state) {
        char wanted[32];
        std::snprintf(wanted, sizeof wanted, " 0100007F:%04X %s ", port, state);
        std::ifstream table("/proc/net/tcp");
        return std::string(std::istreambuf_iterator<char>(table), {}).find(wanted) != std::string::npos;
    };
    const std::pair<std::string, std::function<bool()>> cases[] = {
        {"socket://unanswered.test:1", [&] { return QFile::exists(begun); }},
        {"socket://127.0.0.1:" + std::to_string(ports[0]), [&] { return connection(ports[0], "02"); }},
        {"rfc2217://127.0.0.1:" + std::to_string(ports[1]), [&] { return connection(ports[1], "01"); }}};
    for (const auto& [url, waiting] : cases) {
        QProcess netcfg;
        netcfg.setProcessEnvironment(environment);
        netcfg.start(TALVOR_NETCFG, {"--port", QString::fromStdString(url), "status"});
        ASSERT_TRUE(netcfg.waitForStarted());
        while (!waiting() && !netcfg.waitForFinished(5)) {
        }
        ASSERT_EQ(netcfg.state(), QProcess::Running) << url;
        ::kill(static_cast<pid_t>(netcfg.processId()), SIGTERM);
        const auto signalled = std::chrono::steady_clock::now();
        ASSERT_TRUE(netcfg.waitForFinished(20000));
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
        EXPECT_EQ(netcfg.exitCode(), 130) << url;
        EXPECT_EQ(netcfg.readAllStandardError(), "Interrupted: stopped before the next request.\n");
    }
    for (const int socket : sockets)
        ::close(socket);
}

// A backup taken through a device server and restored through it gives the controller back its blocks,
// the one changed since and the one added since alike.
TEST(NetcfgServed, BackupThenRestoreOverRfc2217PutsTheBlocksBack) {
    ControllerSimulator sim;
    sim.Preload(1, *FromHex(kEthernetDefaults));
    sim.Preload(2, *FromHex(kDeviceNetDefaults));
    sim.Start();
    DeviceServer server;
    const QString port = QString::fromStdString(server.Add(sim.DevicePath()));
    ASSERT_EQ(server.Start(), "");
    QTemporaryDir dir;
    const QString file = dir.filePath("backup.json");
    const auto netcfg = [&port](const QStringList& args) {
        QProcess process;
        process.start(TALVOR_NETCFG, QStringList{"--port", port} + args);
        EXPECT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    };
    netcfg({"backup", file});
    sim.Preload(2, *FromHex("000C021E0000400004000500"));
    sim.Preload(3, *FromHex(kProfibusDefaults));
    netcfg({"restore", file});
    EXPECT_EQ(StoredText(sim, 1), kEthernetDefaults);
    EXPECT_EQ(StoredText(sim, 2), kDeviceNetDefaults);
    EXPECT_EQ(StoredText(sim, 3), "");
}

} // namespace
