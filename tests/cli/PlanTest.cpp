#include "cli/commission/CommissionReport.h"
#include "cli/commission/Csv.h"
#include "cli/commission/LineAddresses.h"
#include "cli/commission/LineEnds.h"
#include "cli/commission/PlanCheck.h"
#include "model/NetAttributes.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct PlanCase {
    const char* name;
    std::string bytes;
    // "NAME@PORT values" per row
    std::vector<std::string> rows;
    // "LINE: start of the text" per problem
    std::vector<std::string> problems;
    bool cableCarried = false; // --wait or --ask
};

// Ports named "bad" are refused as no port would be; COM1 leads to /dev/ttyS0, and a port is one device
// in any case; a server's port "tcp://A+B" has the addresses A and B.
QString CheckPort(const QString& port, PortChoice& choice) {
    if (port == "bad")
        return QStringLiteral("no port behind bad");
    choice = {port, port.toStdString(), port == "/dev/ttyS0" ? QStringLiteral("COM1") : port.toUpper(), {}};
    if (port.startsWith("tcp://")) {
        choice.addresses = port.mid(6).split('+');
        choice.identity = choice.addresses.first();
    }
    return {};
}

const PlanCase kCases[] = {
    {"SpreadsheetUtf8WithBomCrLfAndQuotes",
     "\xEF\xBB\xBFname,port,ip,mask\r\n\"press, one\",COM1,10.0.0.5,255.0.0.0\r\n\"say \"\"hi\"\"\",COM2,,\r\n",
     {"press, one@COM1 ip=10.0.0.5 mask=255.0.0.0", "say \"hi\"@COM2 "},
     {"3: name 'say \"hi\"' holds a character"}},
    {"SemicolonsAsSavedInManyLocalesWithColumnsInAnyOrderAndCase",
     "Port;MAC-ID;Name;Baud\nCOM1;5;a;125\nCOM2;;b;\n",
     {"a@COM1 mac-id=5 baud=125", "b@COM2 "},
     {}},
    {"LastLineWithoutBreakAndBlankLinesPassedOver",
     "name,port,node\n\n a , COM3 , 7 \n,,\nb,COM4,8",
     {"a@COM3 node=7", "b@COM4 node=8"},
     {}},
    {"QuotedCellOverTwoLinesCountsLinesOfTheFile",
     "name,port\n\"two\nlines\",COM1\nc,bad\n",
     {"two\nlines@COM1 ", "c@bad "},
     {"2: name 'two", "4: no port behind bad"}},
    {"UnknownColumnIsNamed", "name,port,colour\na,COM1,red\n", {"a@COM1 "}, {"1: unknown column 'colour'"}},
    {"MissingRequiredColumnsAndEmptyFile", "ip\n", {},
     {"1: the header has no 'name'", "1: the header has no 'port'", "1: the plan has a header and no rows"}},
    {"NothingAtAll", "", {}, {"0: the plan is empty"}},
    {"HeaderAlone", "\nname,port\n\n", {}, {"2: the plan has a header and no rows: it names no controller"}},
    {"NotUtf8IsWindows1252",
     "name,port\nok,COM2\n\xE9t\xE9 \x80\x9D,COM1\n",
     {"ok@COM2 ", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC\xC2\x9D@COM1 "},
     {"note: line 3 is not UTF-8: the plan was read as Windows-1252"}},
    {"HeaderNamesAsTheUtilitysPagesWriteThem",
     "Name,Port,IP address,Subnet mask,Default gateway,MAC ID,Node address,Baud rate\n"
     "a,COM1,10.0.0.5,255.0.0.0,10.0.0.1,5,7,125\n",
     {"a@COM1 ip=10.0.0.5 mask=255.0.0.0 gateway=10.0.0.1 mac-id=5 baud=125 node=7"},
     {}},
    {"DuplicateNamesIgnoringCaseAndDuplicateIps",
     "name,port,ip,mask\nA,COM1,10.0.0.5,255.0.0.0\na,COM2,10.0.0.5,255.0.0.0\n",
     {"A@COM1 ip=10.0.0.5 mask=255.0.0.0", "a@COM2 ip=10.0.0.5 mask=255.0.0.0"},
     {"3: name 'a' is also on line 2", "3: IP address 10.0.0.5 is also given on line 2"}},
    {"EveryBadCellIsListedWithItsLine",
     "name,port,mac-id,baud,node,ip,gateway,status-id,disable-ethernet\n"
     "a,COM1,64,300,0,1.2.3,x,5Z,maybe\n",
     {"a@COM1 ip=1.2.3 gateway=x mac-id=64 baud=300 node=0"},
     {"2: status-id '5Z'", "2: disable-ethernet 'maybe'", "2: MAC ID 64 is out of range 0-63",
      "2: Node address 0 is out of range 1-125", "2: Baud rate 300 is not one of 125, 250, 500 kb/s",
      "2: Invalid address for ip: '1.2.3'", "2: Invalid address for gateway: 'x'"}},
    {"AddressRulesWhereTheRowGivesIpAndMask",
     "name,port,ip,mask,gateway\na,COM1,10.0.0.0,255.0.0.0,\nb,COM2,10.0.0.9,255.0.0.0,11.0.0.1\n"
     "c,COM3,10.0.0.0,,\n",
     {"a@COM1 ip=10.0.0.0 mask=255.0.0.0", "b@COM2 ip=10.0.0.9 mask=255.0.0.0 gateway=11.0.0.1",
      "c@COM3 ip=10.0.0.0"},
     {"2: IP address 10.0.0.0 is the network address", "3: Gateway 11.0.0.1 is outside the subnet",
      "4: IP address 10.0.0.0 is also given on line 2"}},
    {"CellsThatAreNoNumbersAndAMaskWithHolesAreToldAsWriteTellsThem",
     "name,port,mac-id,node,ip,mask\na,COM1,0x0C,abc,,\nb,COM2,,,10.0.0.9,255.0.255.0\n",
     {"a@COM1 mac-id=0x0C node=abc", "b@COM2 ip=10.0.0.9 mask=255.0.255.0"},
     {"2: MAC ID '0x0C' is not a number", "2: Node address 'abc' is not a number",
      "3: Subnet mask 255.0.255.0 is not contiguous"}},
    {"DisableEthernetWithAddressesIsAContradiction",
     "name,port,disable-ethernet,ip,status-id\na,COM1,yes,10.0.0.9,54 56 01 00\nb,COM2,No,,\n",
     {"a@COM1 ip=10.0.0.9 disable-ethernet=yes status-id=54560100", "b@COM2 "},
     {"2: disable-ethernet and Ethernet addresses"}},
    {"NamesThatCannotNameAFile",
     "name,port\na/b,COM1\nCOM3.txt,COM2\n..,COM3\n,COM4\n-x,COM5\n",
     {"a/b@COM1 ", "COM3.txt@COM2 ", "..@COM3 ", "@COM4 ", "-x@COM5 "},
     {"2: name 'a/b' holds a character", "3: name 'COM3.txt' is a device name", "4: name '..' may not",
      "5: the row has no name", "6: name '-x' may not begin with -"}},
    {"NamesThatWouldWriteAnotherRowsBackupOrItsFile",
     "name,port\nx,COM1\nx-before,COM2\nX-Before-2,COM3\nbefore,COM4\nx-before-y,COM5\ncaf\xC3\xA9,COM6\n"
     "Cafe\xCC\x81,COM7\n",
     {"x@COM1 ", "x-before@COM2 ", "X-Before-2@COM3 ", "before@COM4 ", "x-before-y@COM5 ", "caf\xC3\xA9@COM6 ",
      "Cafe\xCC\x81@COM7 "},
     {"3: name 'x-before' would write x-before.json, where a row named 'x' keeps",
      "4: name 'X-Before-2' would write X-Before-2.json, where a row named 'X'", "8: name 'Cafe\xCC\x81' is also on"}},
    {"TwoRowsOnOneDeviceWithoutACableCarried",
     "name,port\na,COM1\nb,/dev/ttyS0\nc,com1\nd,COM2\n",
     {"a@COM1 ", "b@/dev/ttyS0 ", "c@com1 ", "d@COM2 "},
     {"3: port /dev/ttyS0 is also the port of line 2 (a, as COM1); two rows on one controller need --wait or --ask",
      "4: port com1 is also the port of line 2 (a, as COM1)"}},
    {"ServerPortsWhoseAddressesMeet",
     "name,port\na,tcp://v4+v6\nb,tcp://v6\nc,tcp://v4\nd,tcp://other\n",
     {"a@tcp://v4+v6 ", "b@tcp://v6 ", "c@tcp://v4 ", "d@tcp://other "},
     {"3: port tcp://v6 is also the port of line 2 (a, as tcp://v4+v6)",
      "4: port tcp://v4 is also the port of line 2 (a, as tcp://v4+v6)"}},
    {"RowsOfOneDeviceWithACableCarried", "name,port\na,COM1\nb,/dev/ttyS0\n", {"a@COM1 ", "b@/dev/ttyS0 "}, {},
     true},
    {"AnIpAddressOfAnotherRowsNetwork",
     "name,port,ip,mask,gateway\na,COM1,10.0.0.5,255.255.255.0,10.0.0.1\nb,COM2,10.0.0.1,255.255.0.0,\n"
     "c,COM3,10.0.0.255,255.255.0.0,\nd,COM4,10.0.0.0,,\ne,COM5,10.0.1.1,255.255.255.0,10.0.1.9\n"
     "f,COM6,10.0.1.9,255.255.255.254,\n",
     {"a@COM1 ip=10.0.0.5 mask=255.255.255.0 gateway=10.0.0.1", "b@COM2 ip=10.0.0.1 mask=255.255.0.0",
      "c@COM3 ip=10.0.0.255 mask=255.255.0.0", "d@COM4 ip=10.0.0.0",
      "e@COM5 ip=10.0.1.1 mask=255.255.255.0 gateway=10.0.1.9", "f@COM6 ip=10.0.1.9 mask=255.255.255.254"},
     {"3: IP address 10.0.0.1 is the gateway of line 2 (a)",
      "4: IP address 10.0.0.255 is the broadcast address of the subnet of line 2 (a)",
      "5: IP address 10.0.0.0 is the network address of the subnet of line 2 (a)",
      "7: Subnet mask 255.255.255.254 leaves no host", "7: IP address 10.0.1.9 is the gateway of line 6 (e)"}},
    {"NotesColumnsHeaderNamesAsSpreadsheetsWriteThemAndTabs",
     "Name\tPORT\tMAC ID\tcomment\t# who\tStatus_ID\tdisable ethernet\tBaud\tNotes\t\t\n"
     "a\tCOM1\t5\tleft cabinet, top\tjo\t54560100\tno\t500 kb/s\tx\t\t\n"
     "b\tCOM2\t6\t\t\t\t\t250k\n"
     "c\tCOM3\t\t\t\t\t\t125KBPS\n"
     "d\tCOM4\t\t\t\t\t\t500 Mb/s\n",
     {R"(a@COM1 mac-id=5 baud=500\ kb/s status-id=54560100)", "b@COM2 mac-id=6 baud=250k",
      "c@COM3 baud=125KBPS", R"(d@COM4 baud=500\ Mb/s)"},
     {"5: Baud rate 500 Mb/s is not one of"}},
    {"UnicodeTextOfASpreadsheetIsUtf16",
     "\xFF\xFEn\0a\0m\0e\0\t\0p\0o\0r\0t\0\n\0a\0\t\0C\0O\0M\0" "2\0"s,
     {"a@COM2 "},
     {}},
    {"AHeaderCellWithoutANameBetweenOthers", "name,,port\na,,COM1\n", {"a@COM1 "}, {"1: column 2 has no name"}},
    {"CellsPastTheHeader", "name,port\na,COM1,,\nb,COM2,x\n", {"a@COM1 ", "b@COM2 "}, {"3: 3 cells where"}},
    {"HeldColumnsNameEachControllerAndAreCheckedAsTheirFields",
     "name,port,ip,Held IP,held_mac-id\na,COM1,10.0.0.6,10.0.0.5,\nb,COM1,10.0.0.7,10.0.0.6,\nc,COM1,10.0.0.8,"
     "010.0.0.6,3\nd,COM2,,1.2.3,64\ne,COM2,,,\n",
     {"a@COM1 ip=10.0.0.6", "b@COM1 ip=10.0.0.7", "c@COM1 ip=10.0.0.8", "d@COM2 ", "e@COM2 "},
     {"4: a controller holding the held- values of line 3 (b) holds these too",
      "5: held-: MAC ID 64 is out of range", "5: Invalid address for held-ip: '1.2.3'"},
     true},
    {"BrokenQuotes", "name,port\n\"a\"b,COM1\n\"c,COM1\n", {"ab@COM1 ", "c,COM1@ "},
     {"2: text after the closing quote", "3: a quoted cell is not closed", "3: the row has no port"}},
};

class PlanReading : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanReading, FindsRowsAndEveryProblem) {
    const PlanCase& c = GetParam();
    Plan plan = ReadPlan(QByteArray::fromStdString(c.bytes));
    CheckPlan(plan, {false, c.cableCarried}, CheckPort);
    std::vector<std::string> rows;
    for (const PlanRow& row : plan.rows)
        rows.push_back((row.name + '@' + row.port + ' ' + ValuesText(RowValues(row))).toStdString());
    EXPECT_EQ(rows, c.rows);
    std::vector<std::string> problems;
    for (const QString& note : plan.notes)
        problems.push_back("note: " + note.toStdString());
    for (const PlanProblem& problem : plan.problems)
        problems.push_back(std::to_string(problem.line) + ": " + problem.text.toStdString());
    ASSERT_EQ(problems.size(), c.problems.size()) << testing::PrintToString(problems);
    for (std::size_t i = 0; i < problems.size(); ++i)
        EXPECT_TRUE(problems[i].starts_with(c.problems[i])) << problems[i] << "\nwanted: " << c.problems[i];
}

INSTANTIATE_TEST_SUITE_P(Plans, PlanReading, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlanReading, ForceLetsAddressRulesPassButNotRanges) {
    Plan plan = ReadPlan("name,port,ip,mask,mac-id\na,COM1,10.0.0.0,255.0.0.0,99\n");
    CheckPlan(plan, {true, false}, CheckPort);
    ASSERT_EQ(plan.problems.size(), 1u);
    EXPECT_TRUE(plan.problems[0].text.startsWith("MAC ID 99"));
}

// The end state of a line: a row that gives no IP address and keeps Ethernet on keeps what it holds.
TEST(LineAddresses, TwiceOnlyWhereOneRowWritesWhatAnotherKeeps) {
    Plan plan = ReadPlan("name,port,ip,mac-id,disable-ethernet\nw,COM1,192.168.1.6,,\nk,COM2,,5,\nd,COM3,,,yes\n"
                         "n,COM4,,6,\n");
    CheckPlan(plan, {}, CheckPort);
    const auto holding = [](std::uint8_t last) {
        CNetAttributes record(NetworkEthernet);
        record.m_byIpAddress[3] = last; // 192.168.1.last
        Backup held;
        held.blocks[NetworkEthernet - 1] = record.BuildBlock();
        return held;
    };
    const Backup six = holding(6), nine = holding(9);
    std::vector<HeldRow> rows{{&plan.rows[0], &nine}, {&plan.rows[1], &nine}, {&plan.rows[2], nullptr},
                              {&plan.rows[3], &nine}};
    EXPECT_EQ(TwiceHeldAddress(rows), std::nullopt) << "k and n keep alike what the plan leaves as it is";
    rows[2].held = &six;
    EXPECT_EQ(TwiceHeldAddress(rows), std::nullopt) << "d switches its Ethernet off";
    rows[1].held = &six;
    EXPECT_EQ(TwiceHeldAddress(rows), "row w (line 2) writes and row k (line 3) keeps IP address 192.168.1.6: the "
                                      "line would hold it twice; nothing was written.");
}

Backup HoldingIp(std::uint8_t last) {
    CNetAttributes record(NetworkEthernet);
    const std::uint8_t ip[4]{10, 0, 0, last};
    std::copy(ip, ip + 4, record.m_byIpAddress);
    Backup held;
    held.blocks[NetworkEthernet - 1] = record.BuildBlock();
    return held;
}

// A carried line: no row may end with an IP address another row plans or a finished row's controller
// ended with.
TEST(CarriedLine, RefusesAnIpAddressAnotherRowPlansOrAFinishedControllerEndedWith) {
    Plan plan = ReadPlan("name,port,ip,mac-id\nm1,COM1,10.0.0.6,\nkeeps,COM1,,5\n");
    CheckPlan(plan, {false, true}, CheckPort);
    CCarriedLine line(plan.rows);
    EXPECT_EQ(line.Claim(plan.rows[1], HoldingIp(6)).value_or(""),
              "row keeps (line 3) would end with IP address 10.0.0.6, which row m1 (line 2) plans for its controller");
    EXPECT_FALSE(line.Claim(plan.rows[1], HoldingIp(9)));
    EXPECT_FALSE(line.Claim(plan.rows[0], Backup{})) << "no Ethernet held";
    EXPECT_EQ(line.Claim(plan.rows[0], HoldingIp(9)).value_or(""),
              "row m1 (line 2) would end with IP address 10.0.0.9, which the controller of row keeps (line 3) "
              "ended with");
}

// With a cable carried, the rows of one server are one device's rows whatever name they reach it by.
TEST(PlanReading, RowsOfOneServerUnderTwoNamesAreOneDevice) {
    Plan plan = ReadPlan("name,port\na,tcp://v4+v6\nb,tcp://v6\n");
    CheckPlan(plan, {false, true}, CheckPort);
    EXPECT_EQ(plan.rows[1].choice.identity, plan.rows[0].choice.identity);
}

TEST(PlanReading, AFileTooLargeIsToldByItsSizeAndTheLimit) {
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(QByteArray(10 * 1024 * 1024, ','));
    file.close();
    QString error;
    EXPECT_FALSE(ReadPlanFile(file.fileName(), error));
    EXPECT_EQ(error.toStdString(),
              "the plan has 10485760 bytes; a plan may have at most 4194304 bytes (4 MiB)");
}

// A header cell of "held" over and over, as large as a plan may be, is one unknown column.
TEST(PlanReading, AHeldColumnOfHeldsIsUnknown) {
    const Plan plan = ReadPlan("name,port," + QByteArray("held").repeated(1000000) + "ip\na,COM1,1\n");
    ASSERT_FALSE(plan.problems.empty());
    EXPECT_TRUE(plan.problems.front().text.startsWith("unknown column")) << plan.problems.front().text.toStdString();
}

RowRecord Record(const QString& name, RowOutcome outcome, const QString& values) {
    RowRecord record;
    record.line = 7;
    record.name = name;
    record.port = "COM1";
    record.device = "/dev/ttyUSB0";
    record.statusId = "54560100";
    record.outcome = outcome;
    record.exitStatus = outcome == RowOutcome::Failed ? 2 : 0;
    record.message = "said \"so\", twice\non two lines";
    record.changed = {{"ip", "192.168.1.1", "10.0.0.5"}, {"gateway", "0.0.0.0", "10.0.0.1"}};
    record.seconds = 1.25;
    record.values = ValuesOfText(values);
    record.finished = "2026-01-02T03:04:05Z";
    record.written = {{"ethernet", "yes"}, {"devicenet", "unknown"}};
    return record;
}

PlanRow Row(const QString& name, const QString& ip) {
    PlanRow row;
    row.name = name;
    row.values["ip"] = ip;
    return row;
}

// Cells a spreadsheet would take for formulas, and one that only looks quoted already.
RowRecord FormulaRecord() {
    RowRecord record = Record("=HYPERLINK(\"x\")", RowOutcome::Failed, "ip=10.0.0.4");
    record.port = "+COM1";
    record.device = "'@dev";
    record.message = "-1\tand @ more";
    record.statusId = "\t54";
    return record;
}

TEST(CommissionReport, ReadsBackWhatItWroteInEveryKindAndKnowsWhatIsDone) {
    const std::vector<RowRecord> written{Record("a", RowOutcome::Commissioned, "ip=10.0.0.1"),
                                         Record("b", RowOutcome::Commissioned, "ip=10.0.0.2"),
                                         Record("b", RowOutcome::Failed, "ip=10.0.0.2"),
                                         Record("c", RowOutcome::Unchanged, "ip=10.0.0.3"),
                                         Record("c", RowOutcome::Skipped, "ip=10.0.0.3"), FormulaRecord(),
                                         Record("e", RowOutcome::Failed, R"(ip=a\ b\\ x\=y=\=)")};
    EXPECT_EQ(written.back().values, (OptionValues{{"ip", "a b\\"}, {"x=y", "="}}));
    QByteArray csv = ReportCsvHeader(), semicolons = ReportCsvHeader(';'), json;
    for (const RowRecord& record : written) {
        csv += ReportCsvLine(record);
        semicolons += ReportCsvLine(record, ';');
        json += ReportJsonLine(record);
    }
    std::vector<TextProblem> problems;
    for (const CsvRecord& line : ReadCsv(QString::fromUtf8(semicolons), ';', problems))
        for (const QString& cell : line.cells)
            EXPECT_FALSE(!cell.isEmpty() && QString("=+-@\t\r").contains(cell.front())) << cell.toStdString();
    for (const QByteArray& bytes : {csv, semicolons, json}) {
        QString error;
        // A run killed in the middle of a line leaves that line unfinished: it is no record.
        const auto read = ReadReport(bytes + bytes.left(30), error);
        ASSERT_TRUE(read) << error.toStdString();
        ASSERT_EQ(read->size(), written.size());
        for (std::size_t i = 0; i < written.size(); ++i) {
            EXPECT_EQ(ReportCsvLine(read->at(i)), ReportCsvLine(written[i])) << bytes.toStdString();
            EXPECT_EQ(read->at(i).values, written[i].values);
            EXPECT_EQ(read->at(i).written, written[i].written);
        }
        EXPECT_TRUE(DoneInReport(*read, Row("a", "10.0.0.1")));
        EXPECT_FALSE(DoneInReport(*read, Row("a", "10.0.0.9"))) << "the plan changed the row";
        EXPECT_FALSE(DoneInReport(*read, Row("b", "10.0.0.2"))) << "it failed after it was done";
        EXPECT_TRUE(DoneInReport(*read, Row("c", "10.0.0.3"))) << "a skip does not undo it";
        EXPECT_FALSE(DoneInReport(*read, Row("d", "10.0.0.4")));
    }
}

// Reports on disk from before the written column, a blank in a value unescaped: --resume reads them, and
// the records this version appends to them.
TEST(CommissionReport, ReadsReportsWithoutTheWrittenColumn) {
    const QByteArray csv("line,name,port,device,status-id,outcome,exit-status,message,changed,duration,values,"
                         "finished\n7,a,COM1,,,commissioned,0,,ip 1.1.1.1 -> 10.0.0.1,0.5,ip=10.0.0.1 baud=500 "
                         "kb/s status-id=54560100,\n");
    const QByteArray json(R"({"line":7,"name":"a","port":"COM1","device":"","status-id":"","outcome":"commissioned",)"
                          R"("exit-status":0,"message":"","changed":{},"duration":0.5,)"
                          R"("values":{"ip":"10.0.0.1","baud":"500 kb/s","status-id":"54560100"},"finished":""})"
                          "\n");
    PlanRow row = Row("a", "10.0.0.1");
    row.values["baud"] = "500 kb/s";
    row.statusId = ByteString{0x54, 0x56, 0x01, 0x00};
    const RowRecord appended = Record("b", RowOutcome::Failed, "ip=10.0.0.2");
    for (const QByteArray& bytes : {csv + ReportCsvLine(appended), json + ReportJsonLine(appended)}) {
        QString error;
        const auto read = ReadReport(bytes, error);
        ASSERT_TRUE(read) << error.toStdString();
        EXPECT_TRUE(DoneInReport(*read, row));
        EXPECT_TRUE(read->front().written.empty());
        EXPECT_EQ(read->back().written, appended.written);
    }
}

TEST(CommissionReport, RefusesWhatIsNoReport) {
    for (const QByteArray& bytes : {QByteArray("name,port\na,COM1\n"), QByteArray("{\"line\": 1}\n"),
                                    ReportCsvHeader() + "1,a,COM1,,,done,0,,,0,,\n"}) {
        QString error;
        EXPECT_FALSE(ReadReport(bytes, error)) << bytes.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

} // namespace
