#include "cli/commission/CommissionReport.h"
#include "cli/commission/Csv.h"
#include "cli/commission/PlanCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct PlanCase {
    const char* name;
    std::string bytes;
    // "NAME@PORT values" per row
    std::vector<std::string> rows;
    // "LINE: start of the text" per problem
    std::vector<std::string> problems;
};

// Ports named "bad" are refused as no port would be.
QString CheckPort(const QString& port) {
    return port == "bad" ? QStringLiteral("no port behind bad") : QString();
}

const PlanCase kCases[] = {
    {"SpreadsheetUtf8WithBomCrLfAndQuotes",
     "\xEF\xBB\xBFname,port,ip,mask\r\n\"press, one\",COM1,10.0.0.5,255.0.0.0\r\n\"say \"\"hi\"\"\",COM2,,\r\n",
     {"press, one@COM1 ip=10.0.0.5 mask=255.0.0.0", "say \"hi\"@COM2 "},
     {"3: name 'say \"hi\"' holds a character"}},
    {"SemicolonsAsSavedInManyLocalesWithColumnsInAnyOrderAndCase",
     "Port;MAC-ID;Name;Baud\nCOM1;5;a;125\nCOM1;;b;\n",
     {"a@COM1 mac-id=5 baud=125", "b@COM1 "},
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
    {"MissingRequiredColumnsAndEmptyFile", "ip\n", {}, {"1: the header has no 'name'", "1: the header has no 'port'"}},
    {"NothingAtAll", "", {}, {"0: the plan is empty"}},
    {"NotUtf8", "name,port\n\xE9t\xE9,COM1\n", {}, {"0: the plan is not UTF-8"}},
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
     "name,port\na/b,COM1\nCOM3.txt,COM1\n..,COM1\n,COM1\n",
     {"a/b@COM1 ", "COM3.txt@COM1 ", "..@COM1 ", "@COM1 "},
     {"2: name 'a/b' holds a character", "3: name 'COM3.txt' is a device name", "4: name '..' may not",
      "5: the row has no name"}},
    {"CellsPastTheHeader", "name,port\na,COM1,,\nb,COM1,x\n", {"a@COM1 ", "b@COM1 "}, {"3: 3 cells where"}},
    {"BrokenQuotes", "name,port\n\"a\"b,COM1\n\"c,COM1\n", {"ab@COM1 ", "c,COM1@ "},
     {"2: text after the closing quote", "3: a quoted cell is not closed", "3: the row has no port"}},
};

class PlanReading : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanReading, FindsRowsAndEveryProblem) {
    const PlanCase& c = GetParam();
    Plan plan = ReadPlan(QByteArray::fromStdString(c.bytes));
    CheckPlan(plan, false, CheckPort);
    std::vector<std::string> rows;
    for (const PlanRow& row : plan.rows)
        rows.push_back((row.name + '@' + row.port + ' ' + ValuesText(row)).toStdString());
    EXPECT_EQ(rows, c.rows);
    std::vector<std::string> problems;
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
    CheckPlan(plan, true, CheckPort);
    ASSERT_EQ(plan.problems.size(), 1u);
    EXPECT_TRUE(plan.problems[0].text.startsWith("MAC ID 99"));
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
    record.values = values;
    record.finished = "2026-01-02T03:04:05Z";
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
                                         Record("c", RowOutcome::Skipped, "ip=10.0.0.3"), FormulaRecord()};
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
        for (std::size_t i = 0; i < written.size(); ++i)
            EXPECT_EQ(ReportCsvLine(read->at(i)), ReportCsvLine(written[i])) << bytes.toStdString();
        EXPECT_TRUE(DoneInReport(*read, Row("a", "10.0.0.1")));
        EXPECT_FALSE(DoneInReport(*read, Row("a", "10.0.0.9"))) << "the plan changed the row";
        EXPECT_FALSE(DoneInReport(*read, Row("b", "10.0.0.2"))) << "it failed after it was done";
        EXPECT_TRUE(DoneInReport(*read, Row("c", "10.0.0.3"))) << "a skip does not undo it";
        EXPECT_FALSE(DoneInReport(*read, Row("d", "10.0.0.4")));
    }
}

TEST(CommissionReport, ReadsReportsWrittenWithTheEarlierNames) {
    const QByteArray csv("line,name,port,device,statusId,outcome,exitStatus,message,changed,duration,values,finished\n"
                         "7,a,COM1,,,commissioned,0,,ip 1.1.1.1 -> 10.0.0.1,0.5,ip=10.0.0.1,\n");
    const QByteArray json(R"({"line":7,"name":"a","port":"COM1","device":"","statusId":"","outcome":"commissioned",)"
                          R"("exitStatus":0,"message":"","changed":"ip 1.1.1.1 -> 10.0.0.1","duration":0.5,)"
                          R"("values":"ip=10.0.0.1","finished":""})"
                          "\n");
    for (const QByteArray& bytes : {csv, json}) {
        QString error;
        const auto read = ReadReport(bytes, error);
        ASSERT_TRUE(read) << error.toStdString();
        EXPECT_TRUE(DoneInReport(*read, Row("a", "10.0.0.1")));
        EXPECT_EQ(read->front().changed, (std::vector<FieldChange>{{"ip", "1.1.1.1", "10.0.0.1"}}));
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
