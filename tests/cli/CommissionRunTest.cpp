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

#include <csignal>
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
    static const RowRecord* Find(const std::vector<RowRecord>& records, const QString& name) {
        for (const RowRecord& record : records)
            if (record.name == name)
                return &record;
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
    static ByteString Block(int type, const std::function<void(CNetAttributes&)>& change) {
        CNetAttributes record(static_cast<NetworkType>(type));
        change(record);
        return record.BuildBlock();
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
        EXPECT_EQ(sim->StoredBlock(NetworkEthernet), Block(NetworkEthernet, [last](CNetAttributes& r) {
                      const std::uint8_t ip[4]{10, 0, 0, static_cast<std::uint8_t>(last)}, mask[4]{255, 255, 255, 0};
                      std::copy(ip, ip + 4, r.m_byIpAddress);
                      std::copy(mask, mask + 4, r.m_bySubnetMask);
                  }));
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
    unknown.InjectFault(SimFault::NoReply, 2, 0, 43);
    WritePlan("name,port,ip,mac-id\npress-1,{0},10.0.0.11,\npress-2,{1},10.0.0.12,\neth,{2},10.0.0.20,\n"
              "lost,{3},,7\ndrive-a,{4},,9\ndrive-b,{5},,9\nunknown,{7},,8\n");
    Run({"--report", "report.csv", "--resume", "report.csv"});

    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(report.size(), 10u);
    EXPECT_EQ(Find(report, "drive-b")->outcome, RowOutcome::Unchanged) << "a row alike, not a controller done";
    const RowRecord* press = Find(report, "press-2");
    EXPECT_EQ(press->outcome, RowOutcome::Refused);
    EXPECT_TRUE(press->message.contains("holds what row press-1 (line 2) wrote: a controller already done"))
        << press->message.toStdString();
    EXPECT_FALSE(QFile::exists(Path("press-2-before.json")));
    const RowRecord* eth = Find(report, "eth");
    EXPECT_EQ(eth->outcome, RowOutcome::Commissioned);
    EXPECT_TRUE(eth->message.contains("starting from the defaults: subnetMask 255.255.255.0, gateway 0.0.0.0"))
        << eth->message.toStdString();
    const RowRecord* reply = Find(report, "lost");
    EXPECT_EQ(reply->outcome, RowOutcome::Failed);
    EXPECT_TRUE(reply->message.contains("could not be read back")) << reply->message.toStdString();
    ASSERT_EQ(reply->changed.size(), 1u) << "read after the failure: the write took";
    EXPECT_EQ(reply->changed[0].now, "7");
    EXPECT_TRUE(Find(report, "unknown")->changed.empty());
    EXPECT_TRUE(Find(report, "unknown")->message.contains("holds now is not known"));
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
    WritePlan("name,port,ip,mask,mac-id,baud,node,disable-ethernet,status-id\n"
              "press-1,{0},10.0.0.11,255.255.255.0,,,,,\n"
              "drive-1,{1},,,20,125,,,\n"      // held already
              "valve-1,{2},,,,,9,,11223344\n"  // another status id
              "valve-2,{3},,,,,9,,\n"          // no Profibus held
              "press-2,{4},192.168.1.255,,,,,,\n" // the broadcast address of the mask held
              "drive-2,{5},,,3,500,,yes,\n"
              "drive-3,{6},,,4,,,,\n");      // no answer
    const Outcome check = Run({"--check", "--json", "--backups", "saved"});
    for (const auto& sim : m_sims)
        for (const auto& request : sim->Requests())
            EXPECT_NE(request.msgCode, 42) << "the check wrote";
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"plan.csv"})
        << "the check wrote a file";

    const Outcome run = Run({"--report", "report.csv", "--json"});
    EXPECT_EQ(check.exit, run.exit) << check.out;
    const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(check.out)).object()["rows"].toArray();
    const std::vector<RowRecord> report = Report();
    ASSERT_EQ(rows.size(), 7);
    ASSERT_EQ(report.size(), 7u);
    std::set<RowOutcome> outcomes;
    for (const QJsonValue& row : rows) {
        const RowRecord* record = Find(report, row["name"].toString());
        ASSERT_TRUE(record);
        outcomes.insert(record->outcome);
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
    EXPECT_EQ(outcomes.size(), 4u) << "commissioned, unchanged, refused and failed rows";
    EXPECT_EQ(Find(report, "drive-2")->changed.size(), 3u) << "disable-ethernet, mac-id and baud";
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
        Netcfg(QStringList{"snapshot"} + ports + QStringList{"/dev/nonexist", ports[0], "--output", "plan.csv"});
    EXPECT_EQ(snapshot.exit, 2) << "a port named that does not answer";
    for (const char* told :
         {"/dev/nonexist", "ip 192.168.1.1, mask 255.255.255.0, gateway 10.0.0.0 left empty in the plan: Gat",
          "mac-id 64 left empty in the plan: MAC ID 64 is out of range"})
        EXPECT_NE(snapshot.err.find(told), std::string::npos) << snapshot.err;
    QFile plan(Path("plan.csv"));
    ASSERT_TRUE(plan.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = plan.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[2].endsWith(",,,,,,20,yes,54560100")) << lines[2].toStdString();

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
    const Outcome run = Netcfg({"commission", c.plan, "--report", "report.csv"}, piped ? plan.readAll() : QByteArray());
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
