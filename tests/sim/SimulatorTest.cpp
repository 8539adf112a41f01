#include "sim/ControllerSimulator.h"

#include "model/NetAttributes.h"
#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/MessageCodes.h"
#include "seriallink/link/SerialComm.h"
#include "sim/StoreFile.h"

#include "tests/sim/QtCoreApp.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

constexpr std::uint8_t WriteNetAttr = MSGCODE_WRITE_NET_ATTR, ReadNetAttr = MSGCODE_READ_NET_ATTR;

// One write or read through the real link on COM port 8, which names `device`.
class Client {
public:
    explicit Client(const std::string& device) {
        ::setenv("TALVOR_COM8", device.c_str(), 1);
        m_link.m_nSerialPort = 8;
        m_link.m_wCommParam = COMM_PARAM_DEFAULT;
    }
    ~Client() { ::unsetenv("TALVOR_COM8"); }

    LinkResult Write(std::uint8_t type, ByteString block) {
        m_link.m_byNetworkType = type;
        return Exchange(WriteNetAttr, block, nullptr);
    }
    LinkResult Read(std::uint8_t type, ByteString& block) {
        m_link.m_byNetworkType = type;
        return Exchange(ReadNetAttr, {}, &block);
    }

private:
    LinkResult Exchange(std::uint8_t code, ByteString payload, ByteString* reply) {
        if (LinkResult opened = m_link.InitializeCommMode(); opened != linkcode::Success)
            return opened;
        std::vector<std::uint8_t> buffer(ReadNetAttrReplyCapacity);
        std::uint32_t count = 0;
        const LinkResult result = m_link.ProccessMsgCode_NoThread(
            code, true, payload.data(), std::uint32_t(payload.size()), reply ? buffer.data() : nullptr,
            reply ? std::uint32_t(buffer.size()) : 0, &count);
        if (reply)
            reply->assign(buffer.begin(), buffer.begin() + count);
        m_link.CloseComPort();
        return result;
    }
    CSerialComm m_link;
};

ControllerSimulator::Options WithStore(const std::string& file) {
    ControllerSimulator::Options options;
    options.storeFile = file;
    return options;
}

class SimulatorStore : public testing::Test {
protected:
    void SetUp() override {
        path = (std::filesystem::temp_directory_path() /
                ("talvor-store-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name()))
                   .string();
        std::filesystem::remove(path);
    }
    void TearDown() override { std::filesystem::remove(path); }
    std::string path;
};

TEST_F(SimulatorStore, WrittenBlocksSurviveARestart) {
    const ByteString deviceNet = CNetAttributes(NetworkDeviceNet).BuildBlock();
    {
        ControllerSimulator sim(WithStore(path));
        sim.Start();
        Client client(sim.DevicePath());
        ASSERT_EQ(client.Write(NetworkDeviceNet, deviceNet), linkcode::Success);
        ASSERT_EQ(client.Write(NetworkEthernet, CNetAttributes(NetworkEthernet).BuildBlock()),
                  linkcode::Success);
        ASSERT_EQ(client.Write(NetworkEthernet, EmptyAttributeBlock()), linkcode::Success);
    }
    ControllerSimulator restarted(WithStore(path));
    restarted.Start();
    Client client(restarted.DevicePath());
    ByteString block;
    ASSERT_EQ(client.Read(NetworkDeviceNet, block), linkcode::Success);
    EXPECT_EQ(block, deviceNet);
    ASSERT_EQ(client.Read(NetworkEthernet, block), linkcode::Success);
    EXPECT_EQ(block, EmptyAttributeBlock()) << "the disable survived too";
    const std::string name = std::filesystem::path(path).filename().string();
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
        EXPECT_TRUE(entry.path() == path || !entry.path().filename().string().starts_with(name))
            << "left behind: " << entry.path();
}

TEST_F(SimulatorStore, DamagedFileIsRefusedNotGuessed) {
    for (const char* content : {"2 00 0C 0", "4 00 02\n", "2\n", "x 00\n"}) {
        std::ofstream(path) << content;
        EXPECT_THROW(LoadStore(path), std::runtime_error) << content;
        EXPECT_THROW(ControllerSimulator(WithStore(path)), std::runtime_error) << content;
    }
}

QString SimulatorExecutable() {
    return QStringLiteral(TALVOR_SIM_EXECUTABLE);
}

TEST(SimulatorExecutable, HelpExplainsEveryOption) {
    QProcess sim;
    sim.start(SimulatorExecutable(), {"--help"});
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 0);
    const QString help = QString::fromUtf8(sim.readAllStandardOutput());
    for (const char* option :
         {"--port", "--preload ", "--preload-defaults", "--fault", "--pace", "--store", "--quiet", "--help",
          "SIGTERM", "no-reply", "oversized", "endless-noise", "endless-trickle", "endless-headers"})
        EXPECT_TRUE(help.contains(QString::fromUtf8(option))) << option;
}

TEST(SimulatorExecutable, RefusesBadArgumentsWithoutServing) {
    for (const QStringList& args :
         {QStringList{"--fault", "melt"}, QStringList{"--preload", "5=0002"},
          QStringList{"--preload", "2=0G"}, QStringList{"--store"}, QStringList{"--bogus"}}) {
        QProcess sim;
        sim.start(SimulatorExecutable(), args);
        ASSERT_TRUE(sim.waitForFinished(5000));
        EXPECT_EQ(sim.exitCode(), 2) << args.join(' ').toStdString();
        EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
    }
}

TEST(SimulatorExecutable, PreloadedDefaultsAnswerAReadAndSigtermEndsCleanly) {
    QProcess sim;
    sim.start(SimulatorExecutable(), {"--preload-defaults", "--fault", "status:21@42"});
    ASSERT_TRUE(sim.waitForStarted(5000));
    while (!sim.canReadLine())
        ASSERT_TRUE(sim.waitForReadyRead(5000));
    const std::string device = sim.readLine().trimmed().toStdString();

    {
        Client client(device);
        ByteString block;
        ASSERT_EQ(client.Read(NetworkProfibus, block), linkcode::Success);
        EXPECT_EQ(block,
                  (ByteString{0x00, 0x0D, 0x03, 0x1E, 0x00, 0x00, 0x40, 0x00, 0x04, 0x00, 0x14, 0x00, 0x00}));
        ASSERT_EQ(client.Read(NetworkEthernet, block), linkcode::Success);
        EXPECT_EQ(block, (ByteString{0x00, 0x13, 0x01, 0xC0, 0xA8, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                                     0x00, 0x00, 0x00, 0xFF, 0xFF, 0x1E, 0x00}));
        EXPECT_EQ(client.Write(NetworkEthernet, EmptyAttributeBlock()), linkcode::NotProgramMode)
            << "the fault from the command line";
    }

    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    const QString log = QString::fromUtf8(sim.readAllStandardError());
    EXPECT_EQ(log.count("request code="), 3) << log.toStdString();
}

} // namespace
