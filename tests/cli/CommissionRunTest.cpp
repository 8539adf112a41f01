#include "cli/commission/CommissionReport.h"
#include "model/NetAttributes.h"
#include "sim/ControllerSimulator.h"
#include "tests/sim/QtCoreApp.h"
#include "tests/support/DeviceServer.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace {

struct Outcome {
    int exit;
    std::string out;
    std::string err;
};

// talvor-netcfg commission against simulators in this process; "{N}" in a plan stands for the device
// of simulator N.
class CommissionRun : public testing::Test {
protected:
    ControllerSimulator& Simulator(int types) {
        m_sims.push_back(std::make_unique<ControllerSimulator>());
        for (const int type : {NetworkEthernet, NetworkDeviceNet, NetworkProfibus})
            if (types & (1 << type))
                m_sims.back()->Preload(type, CNetAttributes(static_cast<NetworkType>(type)).BuildBlock());
        m_sims.back()->Start();
        return *m_sims.back();
    }
    void WritePlan(QString plan) {
        for (std::size_t i = 0; i < m_sims.size(); ++i)
            plan.replace(QStringLiteral("{%1}").arg(i), QString::fromStdString(m_sims[i]->DevicePath()));
        QFile file(Path("plan.csv"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(plan.toUtf8());
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    void Start(QProcess& netcfg, const QStringList& options) {
        netcfg.setWorkingDirectory(m_dir.path());
        netcfg.start(TALVOR_NETCFG, QStringList{"commission", "plan.csv"} + options);
        ASSERT_TRUE(netcfg.waitForStarted());
    }
    // `input`, when given, is all standard input gets.
    Outcome Run(const QStringList& options, const QByteArray& input = {}) {
        return Netcfg(QStringList{"commission", "plan.csv"} + options, input);
    }
    Outcome Netcfg(const QStringList& arguments, const QByteArray& input = {}) {
        QProcess netcfg;
        netcfg.setWorkingDirectory(m_dir.path());
        netcfg.start(TALVOR_NETCFG, arguments);
        if (!input.isNull()) {
            netcfg.write(input);
            netcfg.closeWriteChannel();
        }
        EXPECT_TRUE(netcfg.waitForFinished(30000));
        return {netcfg.exitCode(), netcfg.readAllStandardOutput().toStdString(),
                netcfg.readAllStandardError().toStdString()};
    }
    std::vector<RowRecord> Report(const QString& name = "report.csv") const {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QString error;
        const auto records = ReadReport(file.readAll(), error);
        EXPECT_TRUE(records) << error.toStdString();
        return records.value_or(std::vector<RowRecord>{});
    }
    // The last record of the row.
    static const RowRecord* Find(const std::vector<RowRecord>& records, const QString& name) {
        for (auto record = records.rbegin(); record != records.rend(); ++record)
            if (record->name == name)
                return &*record;
        ADD_FAILURE() << "no record of " << name.toStdString();
        return nullptr;
    }
    // The port's opens, as the simulator counts its closes once the run has ended.
    static int Opens(const ControllerSimulator& sim, int expected) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (sim.ClientCloses() < expected && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return sim.ClientCloses();
    }
    // A controller on 10.0.0.LAST/24.
    static ByteString Holding(int last) {
        return Block(NetworkEthernet, [last](CNetAttributes& r) {
            const std::uint8_t ip[4]{10, 0, 0, static_cast<std::uint8_t>(last)}, mask[4]{255, 255, 255, 0};
            std::copy(ip, ip + 4, r.m_byIpAddress);
            std::copy(mask, mask + 4, r.m_bySubnetMask);
        });
    }
    static ByteString Block(int type, const std::function<void(CNetAttributes&)>& change) {
        CNetAttributes record(static_cast<NetworkType>(type));
        change(record);
        return record.BuildBlock();
    }
    static ByteString EthernetAt(int last, std::uint8_t maskThird = 255) {
        return Block(NetworkEthernet, [&](CNetAttributes& r) {
            const std::uint8_t ip[4]{10, 0, 0, static_cast<std::uint8_t>(last)}, mask[4]{255, 255, maskThird, 0};
            std::copy(ip, ip + 4, r.m_byIpAddress);
            std::copy(mask, mask + 4, r.m_bySubnetMask);
        });
    }
    // Each row of --check's JSON output has the outcome, exit status and changes of the row's record in
    // the report of the run after it.
    void ExpectCheckNamedTheRun(const std::string& checkJson, qsizetype rowCount) const {
        const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(checkJson)).object()["rows"].toArray();
        const std::vector<RowRecord> report = Report();
        ASSERT_EQ(rows.size(), rowCount) << checkJson;
        for (const QJsonValue& row : rows) {
            const RowRecord* record = Find(report, row["name"].toString());
            ASSERT_TRUE(record);
            std::vector<FieldChange> changes;
            for (const QJsonValue& change : row["changes"].toArray())
                changes.push_back({change["field"].toString(), change["held"].toString(), change["planned"].toString()});
            EXPECT_EQ(row["outcome"].toString(), OutcomeName(record->outcome)) << record->name.toStdString();
            EXPECT_EQ(row["exit-status"].toInt(), record->exitStatus) << record->name.toStdString();
            std::vector<FieldChange> changed = record->changed; // a JSON object keeps no order
            const auto byField = [](const FieldChange& a, const FieldChange& b) { return a.field < b.field; };
            std::sort(changes.begin(), changes.end(), byField);
            std::sort(changed.begin(), changed.end(), byField);
            EXPECT_EQ(changes, changed) << record->name.toStdString();
        }
    }

    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<ControllerSimulator>> m_sims;
};

constexpr int Ethernet = 1 << NetworkEthernet, DeviceNet = 1 << NetworkDeviceNet, Profibus = 1 << NetworkProfibus;

TEST_F(CommissionRun, FivePortsWithOneFailingEveryRowEndsAndTheWorstDecides) {
    ControllerSimulator& press = Simulator(Ethernet);
    ControllerSimulator& drive = Simulator(DeviceNet);
    ControllerSimulator& valve = Simulator(Profibus);
    ControllerSimulator& secondPress = Simulator(Ethernet);
    Simulator(Profibus);
    drive.InjectFault(SimFault::Status, 1, 0x16, 42); // the controller refuses the write
    WritePlan("name,port,ip,mask,mac-id,node,status-id\n"
              "press-1,{0},10.0.0.11,255.255.255.0,,,\n"
              "drive-1,{1},,,7,,\n"
              "valve-1,{2},,,,9,54560100\n"
              "press-2,{3},10.0.0.12,255.255.255.0,,,\n"
              "valve-2,{4},,,,9,11223344\n");
    const Outcome run = Run({"--report", "report.csv", "--backups", "saved"});

    EXPECT_EQ(run.exit, 4) << run.err;
    // Each message told on a line of its own, in the message column.
    const QRegularExpression twoLines("\ndrive-1 .*password\\.\n +DeviceNet attributes could not be "
                                      "programmed!\n");
    EXPECT_TRUE(twoLines.match(QString::fromStdString(run.out)).hasMatch()) << run.out;
    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(report.size(), 5u);
    const std::map<QString, std::pair<RowOutcome, int>> expected{
        {"press-1", {RowOutcome::Commissioned, 0}}, {"drive-1", {RowOutcome::Failed, 4}},
        {"valve-1", {RowOutcome::Commissioned, 0}}, {"press-2", {RowOutcome::Commissioned, 0}},
        {"valve-2", {RowOutcome::Refused, 1}}};
    for (const auto& [name, outcome] : expected)
        if (const RowRecord* record = Find(report, name)) {
            EXPECT_EQ(record->outcome, outcome.first) << name.toStdString() << ": " << record->message.toStdString();
            EXPECT_EQ(record->exitStatus, outcome.second) << name.toStdString();
        }
    EXPECT_EQ(Find(report, "press-2")->changed, (std::vector<FieldChange>{{"ip", "192.168.1.1", "10.0.0.12"}}));
    for (const auto& [sim, last] : {std::pair{&press, 11}, std::pair{&secondPress, 12}})
        EXPECT_EQ(sim->StoredBlock(NetworkEthernet), EthernetAt(last));
    EXPECT_EQ(valve.StoredBlock(NetworkProfibus), Block(NetworkProfibus, [](CNetAttributes& r) { r.m_nNodeAddress = 9; }));
    EXPECT_EQ(drive.StoredBlock(NetworkDeviceNet), CNetAttributes(NetworkDeviceNet).BuildBlock());
    EXPECT_TRUE(Find(report, "drive-1")->changed.empty()) << "a refused write changed nothing";
    const QDir saved(Path("saved"));
    for (const char* file : {"press-1-before.json", "press-1.json", "press-2.json", "drive-1-before.json",
                             "valve-1.json"})
        EXPECT_TRUE(saved.exists(file)) << file;
    EXPECT_FALSE(saved.exists("drive-1.json"));
    EXPECT_FALSE(saved.exists("valve-2-before.json")) << "a refused controller is not touched";
    EXPECT_NE(run.out.find("5 rows: 3 commissioned, 1 failed, 1 refused."), std::string::npos) << run.out;
    // One open a row; the refused write closed drive-1's port and the read after it opened it again.
    const std::vector<int> opens{1, 2, 1, 1, 1};
    for (std::size_t i = 0; i < opens.size(); ++i)
        EXPECT_EQ(Opens(*m_sims[i], opens[i]), opens[i]) << "port " << i;
}

// Four controllers behind a device server and one on a local port. Each answers its first request 600 ms
// late: that every port has asked before any has asked again shows the rows running side by side.
TEST_F(CommissionRun, PortsBehindADeviceServerRunAtOnceBesideALocalPort) {
    DeviceServer server;
    QString plan = "name,port,mac-id\n";
    for (int i = 1; i <= 5; ++i) {
        ControllerSimulator& sim = Simulator(DeviceNet);
        sim.InjectFault(SimFault::Late, 1, 600);
        const std::string port = i < 5 ? server.Add(sim.DevicePath()) : sim.DevicePath();
        plan += QStringLiteral("drive-%1,%2,%1\n").arg(i).arg(QString::fromStdString(port));
    }
    ASSERT_EQ(server.Start(), "");
    WritePlan(plan);
    QProcess netcfg;
    Start(netcfg, {"--report", "report.csv"});
    const auto requests = [this](const auto& pick) {
        std::size_t count = m_sims[0]->Requests().size();
        for (const auto& sim : m_sims)
            count = pick(count, sim->Requests().size());
        return count;
    };
    while (requests([](auto a, auto b) { return std::min(a, b); }) == 0 && !netcfg.waitForFinished(2)) {
    }
    EXPECT_EQ(requests([](auto a, auto b) { return std::max(a, b); }), 1u)
        << "a port asked again before all had asked";
    ASSERT_TRUE(netcfg.state() == QProcess::NotRunning || netcfg.waitForFinished(30000));

    EXPECT_EQ(netcfg.exitCode(), 0) << netcfg.readAllStandardError().toStdString();
    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(report.size(), 5u);
    for (const RowRecord& record : report)
        EXPECT_EQ(record.outcome, RowOutcome::Commissioned)
            << record.name.toStdString() << ": " << record.message.toStdString();
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(m_sims[i - 1]->StoredBlock(NetworkDeviceNet),
                  Block(NetworkDeviceNet, [i](CNetAttributes& r) { r.m_nNodeAddress = i; }))
            << "drive-" << i;
}

// Polls that hear nothing keep the port open: one open for the wait, one for the row.
TEST_F(CommissionRun, WaitHoldsThePortThroughItsPolls) {
    ControllerSimulator& drive = Simulator(DeviceNet);
    drive.InjectFault(SimFault::NoReply, 1, 0, 18);
    WritePlan("name,port,mac-id\ndrive-1,{0},7\n");
    EXPECT_EQ(Run({"--wait"}).exit, 0);
    EXPECT_EQ(Opens(drive, 2), 2);
}

TEST_F(CommissionRun, ResumeDoesOnlyWhatFailedAndKeepsTheFirstBackup) {
    ControllerSimulator& first = Simulator(DeviceNet);
    ControllerSimulator& second = Simulator(DeviceNet);
    second.InjectFault(SimFault::Status, 1, 0x16, 42);
    WritePlan("name,port,mac-id\na,{0},5\nb,{1},6\n");
    // The command line of every run: the first has no report yet.
    const Outcome fresh = Run({"--report", "report.csv", "--resume", "report.csv"});
    EXPECT_EQ(fresh.exit, 4) << fresh.err;
    EXPECT_NE(fresh.err.find("report.csv is not there yet: no row is done, the run starts fresh."),
              std::string::npos);
    second.Preload(NetworkDeviceNet, Block(NetworkDeviceNet, [](CNetAttributes& r) { r.m_nNodeAddress = 33; }));
    first.ClearRequests();

    const Outcome resumed = Run({"--report", "report.csv", "--resume", "report.csv"});
    EXPECT_EQ(resumed.exit, 0) << resumed.err;
    EXPECT_TRUE(first.Requests().empty()) << "a row done is not done again";
    EXPECT_EQ(second.StoredBlock(NetworkDeviceNet),
              Block(NetworkDeviceNet, [](CNetAttributes& r) { r.m_nNodeAddress = 6; }));
    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(report.size(), 4u);
    EXPECT_EQ(report[2].outcome, RowOutcome::Skipped);
    EXPECT_EQ(report[3].outcome, RowOutcome::Commissioned);
    // What b held before the first run stays; the second run's look at it goes beside it.
    QFile before(Path("b-before.json")), secondLook(Path("b-before-2.json"));
    ASSERT_TRUE(before.open(QIODevice::ReadOnly) && secondLook.open(QIODevice::ReadOnly));
    EXPECT_TRUE(before.readAll().contains("000C021E0000400004001400"));
    const QByteArray secondBackup = secondLook.readAll();
    EXPECT_TRUE(secondBackup.contains("000C021E0000400004002100"));
    EXPECT_TRUE(secondBackup.contains("\"macId\": 33")) << "the fields decoded beside the block";

    // Run again whole: both controllers hold what the plan asks, so nothing is written to either.
    first.ClearRequests();
    second.ClearRequests();
    const QDateTime saved = QFileInfo(Path("a.json")).lastModified();
    const Outcome again = Run({"--report", "report.csv"});
    EXPECT_EQ(QFileInfo(Path("a.json")).lastModified(), saved) << "a backup rewritten as it was";
    EXPECT_EQ(again.exit, 0) << again.err;
    for (const ControllerSimulator* sim : {&first, &second})
        for (const auto& request : sim->Requests())
            EXPECT_NE(request.msgCode, 42) << "an EEPROM written for nothing";
    const std::vector<RowRecord> last = Report();
    ASSERT_EQ(last.size(), 6u);
    EXPECT_EQ(last[4].outcome, RowOutcome::Unchanged);
    EXPECT_EQ(last[5].outcome, RowOutcome::Unchanged);
    EXPECT_FALSE(QFile::exists(Path("a-before-2.json"))) << "a backup of a controller left as it was";
}

TEST_F(CommissionRun, EachRowsRecordSaysWhatItsControllerHeldAndHolds) {
    Simulator(Ethernet);
    ControllerSimulator& putBack = Simulator(Ethernet);
    Simulator(DeviceNet); // its Ethernet disabled
    ControllerSimulator& lost = Simulator(DeviceNet);
    Simulator(DeviceNet);
    ControllerSimulator& twin = Simulator(DeviceNet);
    Simulator(DeviceNet);
    // drive-0 asks for the MAC ID every controller comes with: it tells no controller done.
    WritePlan("name,port,ip,mac-id\npress-1,{0},10.0.0.11,\ndrive-a,{4},,9\ndrive-0,{6},,20\n");
    ASSERT_EQ(Run({"--report", "report.csv"}).exit, 0);
    putBack.Preload(NetworkEthernet, *m_sims[0]->StoredBlock(NetworkEthernet));
    twin.Preload(NetworkDeviceNet, *m_sims[4]->StoredBlock(NetworkDeviceNet));
    // The three reads before the write pass; the write acts but its reply is lost, and so is the read-back's.
    lost.InjectFault(SimFault::Late, 3, 0, 43);
    lost.InjectFault(SimFault::TruncatedReply, 1, 0, 42);
    lost.InjectFault(SimFault::NoReply, 1, 0, 43);
    ControllerSimulator& unknown = Simulator(DeviceNet); // and then nothing more is read from it
    unknown.InjectFault(SimFault::Late, 3, 0, 43);
    unknown.InjectFault(SimFault::TruncatedReply, 1, 0, 42);
    unknown.InjectFault(SimFault::NoReply, 1000, 0, 43);
    WritePlan("name,port,ip,mac-id\npress-1,{0},10.0.0.11,\npress-2,{1},10.0.0.12,\neth,{2},10.0.0.20,\n"
              "lost,{3},,7\ndrive-a,{4},,9\ndrive-b,{5},,9\nunknown,{7},,8\n");
    Run({"--report", "report.csv", "--resume", "report.csv"});

    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(report.size(), 10u);
    EXPECT_EQ(Find(report, "drive-b")->outcome, RowOutcome::Unchanged) << "a row alike, not a controller done";
    // On its own port a row's controller is the one there, whatever another row wrote.
    EXPECT_EQ(Find(report, "press-2")->changed, (std::vector<FieldChange>{{"ip", "10.0.0.11", "10.0.0.12"}}));
    const RowRecord* eth = Find(report, "eth");
    EXPECT_EQ(eth->outcome, RowOutcome::Commissioned);
    EXPECT_TRUE(eth->message.contains("starting from the defaults: subnetMask 255.255.255.0, gateway 0.0.0.0"))
        << eth->message.toStdString();
    const RowRecord* reply = Find(report, "lost");
    EXPECT_EQ(reply->outcome, RowOutcome::Commissioned) << "read back again after a pause: the write took";
    EXPECT_TRUE(reply->message.contains("holds the block written")) << reply->message.toStdString();
    ASSERT_EQ(reply->changed.size(), 1u);
    EXPECT_EQ(reply->changed[0].now, "7");
    EXPECT_EQ(reply->written, (std::vector<std::pair<QString, QString>>{{"devicenet", "yes"}}));
    const RowRecord* unknownRecord = Find(report, "unknown");
    EXPECT_TRUE(unknownRecord->changed.empty());
    EXPECT_EQ(unknownRecord->written, (std::vector<std::pair<QString, QString>>{{"devicenet", "unknown"}}));
    EXPECT_TRUE(unknownRecord->message.contains("holds now is not known"));
    EXPECT_FALSE(unknownRecord->message.contains("could not be programmed"))
        << unknownRecord->message.toStdString();
}

// Answers to --ask that leave rows unworked: the run must not pass for a complete one.
TEST_F(CommissionRun, AnAskedRunThatLeavesRowsUnworkedExitsWithFive) {
    Simulator(DeviceNet);
    WritePlan("name;port;mac-id\na;{0};5\nb;{0};6\nc;{0};7\n");
    for (const QByteArray& answers : {QByteArray("\nq\n"), QByteArray("\ns\ns\n"), QByteArray("\n")}) {
        QFile::remove(Path("report.csv"));
        const Outcome run = Run({"--ask", "--report", "report.csv"}, answers);
        EXPECT_EQ(run.exit, 5) << answers.toStdString() << run.out << run.err;
        const std::vector<RowRecord> report = Report();
        ASSERT_FALSE(report.empty());
        EXPECT_EQ(report.front().exitStatus, 0) << "a, answered Enter, was done";
    }
    QFile report(Path("report.csv"));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.readLine().startsWith("line;name;port;device;status-id;")) << "the plan's separator";
}

// Keys pressed on a terminal before a question is shown answer none: Enter pressed twice for the first
// question leaves the second to its own answer. Standard input is a pseudo-terminal.
TEST_F(CommissionRun, AskOnATerminalDropsKeysPressedAheadOfAQuestion) {
    Simulator(DeviceNet);
    WritePlan("name,port,mac-id\na,{0},5\nb,{0},6\nc,{0},7\n");
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    QProcess netcfg;
    netcfg.setStandardInputFile(QString::fromLocal8Bit(::ptsname(master)));
    netcfg.setReadChannel(QProcess::StandardError);
    Start(netcfg, {"--ask", "--report", "report.csv"});
    const std::vector<std::string> keys{"\n\n", "s\n", "\n"};
    QByteArray err;
    for (std::size_t asked = 0; asked < keys.size() && netcfg.waitForReadyRead(10000);) {
        err += netcfg.readAllStandardError();
        for (; asked < keys.size() && static_cast<std::size_t>(err.count("connect ")) > asked; ++asked)
            ASSERT_EQ(::write(master, keys[asked].data(), keys[asked].size()), std::ssize(keys[asked]));
    }
    ASSERT_TRUE(netcfg.waitForFinished(30000));
    ::close(master);
    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(report.size(), 3u) << err.toStdString();
    EXPECT_EQ(report[0].outcome, RowOutcome::Commissioned);
    EXPECT_EQ(report[1].outcome, RowOutcome::Skipped) << "b, answered s";
}

// Three controllers on 10.0.0.5, .6 and .7 moved up by one, each named by what it holds.
const QString kShiftPlan =
    "name,port,ip,held-ip\nm1,{0},10.0.0.6,10.0.0.5\nm2,{0},10.0.0.7,10.0.0.6\nm3,{0},10.0.0.8,10.0.0.7\n";

// With --ask the controllers come as the questions name their rows: the second, holding what the first
// was given, is no controller done. The fourth would keep the IP address the third was given.
TEST_F(CommissionRun, ALineShiftedWithAskTakesTheControllerItIsAskedFor) {
    ControllerSimulator& cable = Simulator(0);
    WritePlan(kShiftPlan + "m4,{0},,10.0.0.8\n");
    QProcess netcfg;
    netcfg.setReadChannel(QProcess::StandardError);
    Start(netcfg, {"--ask", "--report", "report.csv"});
    QByteArray err;
    std::vector<ByteString> left;
    for (int row = 1; row <= 4; ++row) {
        while (!err.contains(QStringLiteral("connect m%1 (").arg(row).toUtf8()) && netcfg.waitForReadyRead(10000))
            err += netcfg.readAllStandardError();
        if (row > 1)
            left.push_back(*cable.StoredBlock(NetworkEthernet));
        cable.Preload(NetworkEthernet, Holding(row < 4 ? 4 + row : 8)); // m4's holds 10.0.0.8 as m3 wrote it
        netcfg.write("\n");
    }
    netcfg.closeWriteChannel();
    ASSERT_TRUE(netcfg.waitForFinished(30000));
    left.push_back(*cable.StoredBlock(NetworkEthernet));
    EXPECT_EQ(netcfg.exitCode(), 1) << (err + netcfg.readAllStandardError()).toStdString();
    EXPECT_EQ(left, (std::vector<ByteString>{Holding(6), Holding(7), Holding(8), Holding(8)}));
    const std::vector<RowRecord> report = Report();
    const RowRecord* kept = Find(report, "m4");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->outcome, RowOutcome::Refused);
    EXPECT_TRUE(kept->message.contains("row m4 (line 5) would end with IP address 10.0.0.8, which row m3 (line 4) "
                                       "plans for its controller; nothing was written."))
        << kept->message.toStdString();
}

// Three controllers on 10.0.0.5, .6 and .7 move up by one, reached with one cable carried along the line
// in an order of the technician's, past a controller of another line. The simulator plays each in turn;
// one leaves once the run waits for it to (its status id asked twice in a row after a read).
TEST_F(CommissionRun, ALineShiftedWithOneCableTakesEachControllerForTheRowItHolds) {
    ControllerSimulator& cable = Simulator(0);
    WritePlan(kShiftPlan);
    const std::vector<int> walk{7, 9, 5, 6};
    cable.Preload(NetworkEthernet, Holding(walk[0]));
    QProcess netcfg;
    Start(netcfg, {"--wait", "--report", "report.csv"});
    const auto done = [&cable] {
        const auto requests = cable.Requests();
        const bool read =
            std::any_of(requests.begin(), requests.end(), [](const auto& r) { return r.msgCode == 43; });
        return read && requests.size() >= 2 && requests.back().msgCode == 18 && requests.rbegin()[1].msgCode == 18;
    };
    std::vector<ByteString> left;
    for (std::size_t i = 1; i < walk.size(); ++i) {
        while (!done() && !netcfg.waitForFinished(20)) {
        }
        ASSERT_EQ(netcfg.state(), QProcess::Running) << netcfg.readAllStandardError().toStdString();
        left.push_back(*cable.StoredBlock(NetworkEthernet));
        cable.ClearRequests();
        cable.InjectFault(SimFault::NoReply, 2, 0, 18); // unplugged, and the cable on its way
        cable.Preload(NetworkEthernet, Holding(walk[i]));
    }
    ASSERT_TRUE(netcfg.waitForFinished(30000));
    left.push_back(*cable.StoredBlock(NetworkEthernet));
    const std::string err = netcfg.readAllStandardError().toStdString();
    EXPECT_EQ(netcfg.exitCode(), 0) << err;
    EXPECT_EQ(left, (std::vector<ByteString>{Holding(8), Holding(9), Holding(6), Holding(7)}));
    EXPECT_NE(err.find("a controller came that holds ip 10.0.0.9, which no waiting row names"), std::string::npos)
        << err;
    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(report.size(), 3u);
    for (const auto& [name, held] : {std::pair{"m1", 5}, std::pair{"m2", 6}, std::pair{"m3", 7}}) {
        const RowRecord* record = Find(report, name);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->changed, (std::vector<FieldChange>{{"ip", QStringLiteral("10.0.0.%1").arg(held),
                                                              QStringLiteral("10.0.0.%1").arg(held + 1)}}))
            << name;
    }
}

// Each refusal a run can meet, a row done already and rows that change: the preview must name what the
// run then does, row by row and field by field, having written nothing.
TEST_F(CommissionRun, CheckNamesTheRowsAndFieldsTheRunThenChangesAndWritesNothing) {
    Simulator(Ethernet);
    Simulator(DeviceNet);
    Simulator(Profibus);
    Simulator(DeviceNet);
    Simulator(Ethernet);
    Simulator(Ethernet | DeviceNet);
    Simulator(DeviceNet).InjectFault(SimFault::NoReply, 1000);
    Simulator(Ethernet);
    const ControllerSimulator& ethernetOff = Simulator(DeviceNet);
    WritePlan("name,port,ip,mask,mac-id,baud,node,disable-ethernet,status-id,held-ip\n"
              "press-1,{0},10.0.0.11,255.255.255.0,,,,,\n"
              "drive-1,{1},,,20,125,,,\n"      // held already
              "valve-1,{2},,,,,9,,11223344\n"  // another status id
              "valve-2,{3},,,,,9,,\n"          // no Profibus held
              "press-2,{4},192.168.1.255,,,,,,\n" // the broadcast address of the mask held
              "drive-2,{5},,,3,500,,yes,\n"
              "drive-3,{6},,,4,,,,\n"       // no answer
              "press-3,{7},10.0.0.13,,,,,,,10.0.0.5\n" // another cabinet's controller
              "drive-4,{8},,255.255.0.0,,,,,\n"); // Ethernet off: switched on without an IP address
    const Outcome check = Run({"--check", "--json", "--backups", "saved"});
    for (const auto& sim : m_sims)
        for (const auto& request : sim->Requests())
            EXPECT_NE(request.msgCode, 42) << "the check wrote";
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"plan.csv"})
        << "the check wrote a file";

    const Outcome run = Run({"--report", "report.csv", "--json"});
    EXPECT_EQ(check.exit, run.exit) << check.out;
    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(report.size(), 9u);
    ExpectCheckNamedTheRun(check.out, 9);
    const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(check.out)).object()["rows"].toArray();
    std::set<RowOutcome> outcomes;
    for (const RowRecord& record : report)
        outcomes.insert(record.outcome);
    EXPECT_EQ(outcomes.size(), 4u) << "commissioned, unchanged, refused and failed rows";
    const QString wrongCabinet = "holds ip 192.168.1.1, not 10.0.0.5 as held-ip says";
    const QString refused = Find(report, "press-3")->message;
    EXPECT_TRUE(refused.contains(wrongCabinet)) << refused.toStdString();
    EXPECT_TRUE(rows[7]["message"].toString().contains(wrongCabinet)) << check.out;
    EXPECT_EQ(Find(report, "drive-2")->changed.size(), 3u) << "disable-ethernet, mac-id and baud";
    EXPECT_EQ(Find(report, "drive-4")->outcome, RowOutcome::Refused);
    EXPECT_FALSE(ethernetOff.StoredBlock(NetworkEthernet)) << "switched on at the default address";
}

// A row stopped in its write, before the read-back, then resumed: the write cut short is not known, the
// resumed record tells the change since the controller's first backup.
TEST_F(CommissionRun, ARowStoppedBeforeItsReadBackKeepsItsChangeWhenResumed) {
    ControllerSimulator& drive = Simulator(DeviceNet);
    drive.InjectFault(SimFault::Late, 1, 500, 42);
    WritePlan("name,port,mac-id\ndrive,{0},7\n");
    QProcess netcfg;
    Start(netcfg, {"--report", "report.csv"});
    const auto writing = [&drive] {
        const auto requests = drive.Requests();
        return std::any_of(requests.begin(), requests.end(),
                           [](const auto& request) { return request.msgCode == 42; });
    };
    while (!writing() && !netcfg.waitForFinished(10)) {
    }
    ::kill(static_cast<pid_t>(netcfg.processId()), SIGINT);
    ASSERT_TRUE(netcfg.waitForFinished(30000));
    EXPECT_EQ(netcfg.exitCode(), 130);
    EXPECT_EQ(Run({"--report", "report.csv", "--resume", "report.csv"}).exit, 0);

    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0].written, (std::vector<std::pair<QString, QString>>{{"devicenet", "unknown"}}));
    EXPECT_EQ(report[0].exitStatus, 130);
    EXPECT_EQ(report[1].outcome, RowOutcome::Commissioned);
    ASSERT_EQ(report[1].changed.size(), 1u) << report[1].message.toStdString();
    EXPECT_EQ(report[1].changed[0].now, "7");
}

struct Shift {
    const char* name;
    QStringList options;
    bool resumed; // after a run in which m2 did not answer
};

class CommissionShift : public CommissionRun, public testing::WithParamInterface<Shift> {};

// Six controllers on 10.0.0.5 to .10, each moved up by one on its own port: a row's controller is the
// one on its port, whatever another row wrote or plans, and the check names what the run then changes.
TEST_P(CommissionShift, EveryControllerEndsOnItsRowsAddress) {
    QString plan = "name,port,ip,mask\n";
    for (int i = 0; i < 6; ++i) {
        Simulator(Ethernet).Preload(NetworkEthernet, EthernetAt(5 + i));
        plan += QStringLiteral("m%1,{%2},10.0.0.%3,%4\n").arg(i + 1).arg(i).arg(6 + i).arg(i == 3 ? "255.255.0.0" : "");
    }
    WritePlan(plan);
    QStringList options = QStringList{"--report", "report.csv"} + GetParam().options;
    QStringList check = QStringList{"--check", "--json"} + GetParam().options;
    if (GetParam().resumed) {
        m_sims[1]->InjectFault(SimFault::Status, 1, 0x16);
        EXPECT_EQ(Run(options).exit, 4);
        EXPECT_EQ(Find(Report(), "m2")->outcome, RowOutcome::Failed);
        for (QStringList* command : {&options, &check})
            *command << "--resume" << "report.csv";
    }
    const Outcome checked = Run(check);
    const Outcome run = Run(options);
    EXPECT_EQ(run.exit, 0) << run.err << run.out;
    EXPECT_EQ(checked.exit, 0) << checked.out;
    ExpectCheckNamedTheRun(checked.out, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m_sims[i]->StoredBlock(NetworkEthernet), EthernetAt(6 + i, i == 3 ? 0 : 255)) << "m" << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Runs, CommissionShift,
                         testing::Values(Shift{"OnePortAtATime", {"--jobs", "1"}, false},
                                         Shift{"AllAtOnce", {}, false}, Shift{"Resumed", {"--jobs", "2"}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// b gives no IP address and keeps the one its controller holds, which a writes: the line would end with
// it twice. Every controller is read first, and nothing is written to any; the check says so too, and
// a worker for fewer than all ports reads them all first without waiting on itself.
TEST_F(CommissionRun, ALineThatWouldHoldAnAddressTwiceIsRefusedWhole) {
    for (int last : {5, 6, 7})
        Simulator(Ethernet).Preload(NetworkEthernet, EthernetAt(last));
    WritePlan("name,port,ip,mask\na,{0},10.0.0.6,\nb,{1},,255.255.0.0\nc,{2},10.0.0.8,\n");
    const std::string refusal = "row a (line 2) writes and row b (line 3) keeps IP address 10.0.0.6: the line "
                                "would hold it twice; nothing was written.";
    for (const QStringList& options : {QStringList{"--check"}, QStringList{"--jobs", "1", "--report", "report.csv"},
                                       QStringList{"--report", "report.csv"}}) {
        const Outcome run = Run(options);
        EXPECT_EQ(run.exit, 1) << run.out;
        EXPECT_NE(run.out.find(refusal), std::string::npos) << run.out;
    }
    for (const RowRecord& record : Report())
        EXPECT_EQ(record.outcome, RowOutcome::Refused) << record.name.toStdString();
    for (const auto& sim : m_sims)
        for (const auto& request : sim->Requests())
            EXPECT_NE(request.msgCode, 42) << "a controller written";
    EXPECT_FALSE(QFile::exists(Path("a-before.json")));
}

// The snapshot of a line, commissioned as it is, finds every controller done and writes nothing.
TEST_F(CommissionRun, SnapshotOfTheLineCommissionsUnchanged) {
    // Held values the plan's check would refuse are left out of the plan.
    Simulator(Ethernet | DeviceNet)
        .Preload(NetworkEthernet, Block(NetworkEthernet, [](CNetAttributes& r) { r.m_byGateway[0] = 10; }));
    Simulator(Profibus);
    Simulator(DeviceNet).Preload(NetworkDeviceNet,
                                 Block(NetworkDeviceNet, [](CNetAttributes& r) { r.m_nNodeAddress = 64; }));
    QStringList ports;
    for (const auto& sim : m_sims)
        ports << QString::fromStdString(sim->DevicePath());
    // A port named twice is read once: two readers on one line would garble each other.
    const Outcome snapshot =
        Netcfg(QStringList{"snapshot", "--held"} + ports +
               QStringList{"/dev/nonexist", ports[0], "--output", "plan.csv"});
    EXPECT_EQ(snapshot.exit, 2) << "a port named that does not answer";
    for (const char* told :
         {"/dev/nonexist", "ip 192.168.1.1, mask 255.255.255.0, gateway 10.0.0.0 left empty in the plan: Gat",
          "mac-id 64 left empty in the plan: MAC ID 64 is out of range"})
        EXPECT_NE(snapshot.err.find(told), std::string::npos) << snapshot.err;
    QFile plan(Path("plan.csv"));
    ASSERT_TRUE(plan.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = plan.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith(",status-id,held-ip,held-mask,held-gateway,held-mac-id,held-baud,held-node"));
    EXPECT_TRUE(lines[2].endsWith(",,,,,,20,yes,54560100,,,,,,20")) << lines[2].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",54560100,,,,20,125,")) << "held values left out are no held- values either";

    const Outcome run = Run({"--report", "report.csv"});
    EXPECT_EQ(run.exit, 0) << run.err;
    for (const RowRecord& record : Report())
        EXPECT_EQ(record.outcome, RowOutcome::Unchanged) << record.name.toStdString();
    for (const auto& sim : m_sims)
        for (const auto& request : sim->Requests())
            EXPECT_NE(request.msgCode, 42) << "a controller written";
}

struct RefusedPlan {
    const char* name;
    const char* rows;              // under name,port,mac-id; ./link leads to simulator 0
    const char* problem;           // {0} for simulator 0's device
    const char* plan = "plan.csv"; // "-" for standard input
    QStringList options = {"--report", "report.csv"};
};

class CommissionRefused : public CommissionRun, public testing::WithParamInterface<RefusedPlan> {};

// What would go wrong at run time is found by the check, which names the line and asks no controller.
TEST_P(CommissionRefused, TheCheckNamesTheLineAndNoControllerIsAsked) {
    const RefusedPlan& c = GetParam();
    const ControllerSimulator& sim = Simulator(DeviceNet);
    const QString device = QString::fromStdString(sim.DevicePath());
    ASSERT_TRUE(QFile::link(device, Path("link")));
    WritePlan(QStringLiteral("name,port,mac-id\n") + c.rows);
    QFile plan(Path("plan.csv"));
    ASSERT_TRUE(plan.open(QIODevice::ReadOnly));
    const bool piped = QString(c.plan) == "-";
    const Outcome run = Netcfg(QStringList{"commission", c.plan} + c.options, piped ? plan.readAll() : QByteArray());
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.err.find(QString(c.problem).replace("{0}", device).toStdString()), std::string::npos) << run.err;
    EXPECT_TRUE(sim.Requests().empty());
}

const RefusedPlan kRefusedPlans[] = {
    {"TwoRowsOnOneDeviceThroughALink", "a,{0},5\nb,./link,6\n",
     "plan.csv:3: port ./link is also the port of line 2 (a, as {0}); two rows on one controller need --wait or "
     "--ask"},
    {"OneServerUnderTwoNames", "a,rfc2217://localhost:2001,5\nb,socket://127.0.0.1:2001,6\n",
     "plan.csv:3: port socket://127.0.0.1:2001 is also the port of line 2 (a, as rfc2217://localhost:2001)"},
    {"AServerNoNameServiceKnows", "a,{0},5\nb,rfc2217://no-such-host.invalid:2001,6\n",
     "plan.csv:3: port rfc2217://no-such-host.invalid:2001 is not there: the host name is not known"},
    {"ADeviceThatIsNotThereInAPlanOnStandardInput", "a,{0},5\nb,/dev/pts/99999,6\n",
     "standard input:3: port /dev/pts/99999 is not there", "-"},
    {"BackupsTheRunCouldNotWriteToACheck", "a,{0},5\n", "Cannot create the folder plan.csv/saved.", "plan.csv",
     {"--check", "--backups", "plan.csv/saved"}},
};

INSTANTIATE_TEST_SUITE_P(Plans, CommissionRefused, testing::ValuesIn(kRefusedPlans),
                         [](const auto& info) { return std::string(info.param.name); });

// Ctrl-C and SIGTERM alike.
class CommissionStop : public CommissionRun, public testing::WithParamInterface<int> {};

TEST_P(CommissionStop, StopsBetweenRequestsAndTheReportHoldsEveryRowThatEnded) {
    // Every reply 60 ms late: a row takes about half a second; one port at a time, a row after another.
    for (int i = 0; i < 5; ++i)
        Simulator(DeviceNet).InjectFault(SimFault::Late, 1000, 60);
    WritePlan("name,port,mac-id\na,{0},1\nb,{1},2\nc,{2},3\nd,{3},4\ne,{4},5\n");
    QProcess netcfg;
    Start(netcfg, {"--report", "report.json", "--json", "--jobs", "1"});
    // Interrupted once the first row has its record.
    QFile report(Path("report.json"));
    for (int i = 0; i < 300 && report.size() == 0; ++i)
        QThread::msleep(50);
    ::kill(static_cast<pid_t>(netcfg.processId()), GetParam());
    ASSERT_TRUE(netcfg.waitForFinished(30000));

    EXPECT_EQ(netcfg.exitCode(), 130);
    EXPECT_NE(netcfg.readAllStandardError().indexOf("Interrupted: the report holds every row that ended"), -1);
    const std::vector<RowRecord> records = Report("report.json");
    ASSERT_GE(records.size(), 1u);
    ASSERT_LT(records.size(), 5u) << "the run went on after the signal";
    for (const RowRecord& record : records)
        EXPECT_TRUE(record.outcome == RowOutcome::Commissioned ||
                    (record.outcome == RowOutcome::Failed && record.exitStatus == 130))
            << record.name.toStdString() << ": " << record.message.toStdString();
    const QByteArray out = netcfg.readAllStandardOutput();
    EXPECT_NE(out.indexOf("\"exitStatus\": 130"), -1) << out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Signals, CommissionStop, testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) { return info.param == SIGINT ? "Sigint" : "Sigterm"; });

} // namespace
