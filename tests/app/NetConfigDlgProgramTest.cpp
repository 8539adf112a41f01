#include "tests/app/DialogFixture.h"
#include "tests/support/DeviceServer.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestNames.h"
#include "ui/HelpTopic.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr const char* kOutOfMemoryText = "PLC out of memory!";
constexpr std::uint32_t kOutOfMemoryStatus = 6;

class ProgramTest : public DialogTest {
protected:
    void ChooseCom3() const {
        dlg->m_cbComPort->setFocus();
        QTest::keyClick(dlg->m_cbComPort, Qt::Key_Down);
        QTest::keyClick(dlg->m_cbComPort, Qt::Key_Down);
        ASSERT_EQ(dlg->m_cbComPort->currentText(), "Com3");
        EXPECT_EQ(theApp.m_nComPort, 2);
    }
};

struct ProgramCase {
    NetworkType type;
    int radioId;
    const char* succeeded;
    const char* failed;
};

const ProgramCase kProgramCases[] = {
    {NetworkEthernet, IDC_RB_ETHERNET, "Ethernet attributes successfully programmed.",
     "Ethernet attributes could not be programmed!"},
    {NetworkDeviceNet, IDC_RB_DEVICENET, "Devicenet attributes successfully programmed.",
     "Devicenet attributes could not be programmed!"},
    {NetworkProfibus, IDC_RB_PROFIBUS, "Profibus attributes successfully programmed.",
     "Profibus attributes could not be programmed!"},
};

class ProgramTypeTest : public DialogTest, public testing::WithParamInterface<ProgramCase> {
protected:
    void EnterView() {
        if (GetParam().type != NetworkEthernet)
            PreloadFieldbus(GetParam().type);
        Click(GetParam().radioId);
        ASSERT_EQ(theApp.m_nNetworkType, GetParam().type);
        sim.ClearRequests();
    }
};

TEST_P(ProgramTypeTest, SuccessStoresTheRecordsBlockInTheController) {
    EnterView();
    Click(IDC_BTN_PROGRAM);

    EXPECT_EQ(RequestCodes(), (std::vector<int>{18, 42}));
    EXPECT_EQ(sim.StoredBlock(GetParam().type), GetCurrentAttributes().BuildBlock());
    EXPECT_EQ(sim.Requests().back().networkType, GetParam().type);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, GetParam().succeeded);
    EXPECT_EQ(recorder.boxes[0].type, unsigned{mb::OK | mb::ICONINFORMATION});
}

TEST_P(ProgramTypeTest, FailingWriteShowsTheLinksReportThenTheFailureBox) {
    EnterView();
    sim.InjectFault(SimFault::Status, 1, kOutOfMemoryStatus, 42);
    Click(IDC_BTN_PROGRAM);

    EXPECT_EQ(BoxTexts(), (std::vector<QString>{kOutOfMemoryText, GetParam().failed}));
    ASSERT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(recorder.boxes[1].type, unsigned{mb::OK | mb::ICONEXCLAMATION});
}

TEST_P(ProgramTypeTest, UnavailableLinkShowsOnlyTheLinksReport) {
    EnterView();
    sim.InjectFault(SimFault::Status, 1, kOutOfMemoryStatus, 18);
    Click(IDC_BTN_PROGRAM);

    EXPECT_EQ(RequestCodes(), std::vector<int>{18});
    EXPECT_EQ(BoxTexts(), std::vector<QString>{kOutOfMemoryText});
}

INSTANTIATE_TEST_SUITE_P(Types, ProgramTypeTest, testing::ValuesIn(kProgramCases),
                         [](const auto& info) { return NetworkTypeName(info.param.type); });

// Invalid page input is told by the page and nothing reaches the controller.
struct InvalidFieldCase {
    const char* name;
    NetworkType type;
    int radioId;
    int editId;
    const char* text;
    const char* message;
};

class InvalidFieldTest : public DialogTest, public testing::WithParamInterface<InvalidFieldCase> {};

TEST_P(InvalidFieldTest, SendsNothing) {
    const InvalidFieldCase& field = GetParam();
    PreloadFieldbus(field.type);
    Click(field.radioId);
    FieldbusItem<QLineEdit>(field.editId)->setText(field.text);
    sim.ClearRequests();

    Click(IDC_BTN_PROGRAM);

    EXPECT_TRUE(sim.Requests().empty());
    EXPECT_EQ(BoxTexts(), std::vector<QString>{field.message});
    EXPECT_EQ(recorder.boxes[0].type, unsigned{mb::OK | mb::ICONSTOP});
    EXPECT_EQ(theApp.m_nHiddenSel1, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, InvalidFieldTest,
    testing::Values(InvalidFieldCase{"DeviceNetMacId64", NetworkDeviceNet, IDC_RB_DEVICENET, kAddressEdit,
                                     "64", "Invalid MAC ID!"},
                    InvalidFieldCase{"ProfibusNodeAddress0", NetworkProfibus, IDC_RB_PROFIBUS, kAddressEdit,
                                     "0", "Invalid Node address!"},
                    InvalidFieldCase{"DeviceNetConsumedWords0", NetworkDeviceNet, IDC_RB_DEVICENET,
                                     kInputWordsEdit, "0", "Invalid value for Consumed Words!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramTest, DisableWritesTheEmptyBlockForEthernetWithoutStatusIdAndKeepsTheRecord) {
    sim.Preload(NetworkEthernet, CNetAttributes(NetworkEthernet).BuildBlock());
    Click(IDC_RB_ETHERNET);
    Retype(IpAddress()->Field(0), "10");
    const ByteString before = theApp.m_EthernetAttr.BuildBlock();

    Click(IDC_BTN_DISABLE_ETHERNET);

    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].msgCode, 42);
    EXPECT_EQ(requests[0].networkType, NetworkEthernet);
    EXPECT_EQ(requests[0].payload, EmptyAttributeBlock());
    EXPECT_EQ(sim.StoredBlock(NetworkEthernet), std::nullopt);
    EXPECT_EQ(theApp.m_EthernetAttr.BuildBlock(), before);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"Ethernet attributes successfully disabled!"});
    EXPECT_EQ(recorder.boxes[0].type, unsigned{mb::OK | mb::ICONINFORMATION});
}

TEST_F(ProgramTest, FailingDisableShowsTheLinksReportThenTheFailureBox) {
    Click(IDC_RB_ETHERNET);
    sim.InjectFault(SimFault::Status, 1, kOutOfMemoryStatus);
    Click(IDC_BTN_DISABLE_ETHERNET);
    EXPECT_EQ(BoxTexts(),
              (std::vector<QString>{kOutOfMemoryText, "Ethernet attributes could not be disabled!"}));
    EXPECT_EQ(recorder.boxes[1].type, unsigned{mb::OK | mb::ICONEXCLAMATION});
}

TEST_F(ProgramTest, ChoosingCom3SendsTheNextRequestToTheThirdPort) {
    ControllerSimulator com3;
    com3.Start();
    const ScopedEnvironmentVariable com3Device("TALVOR_COM3", QByteArray::fromStdString(com3.DevicePath()));
    ASSERT_NO_FATAL_FAILURE(ChooseCom3());

    Click(IDC_RB_ETHERNET);
    Click(IDC_BTN_PROGRAM);

    EXPECT_TRUE(sim.Requests().empty());
    EXPECT_EQ(com3.StoredBlock(NetworkEthernet), theApp.m_EthernetAttr.BuildBlock());
}

TEST_F(ProgramTest, Com3BehindADeviceServerReadsAndProgramsDeviceNet) {
    ControllerSimulator com3;
    com3.Preload(NetworkDeviceNet, CNetAttributes(NetworkDeviceNet).BuildBlock());
    com3.Start();
    DeviceServer server;
    const ScopedEnvironmentVariable com3Port("TALVOR_COM3",
                                             QByteArray::fromStdString(server.Add(com3.DevicePath())));
    ASSERT_EQ(server.Start(), "");
    ASSERT_NO_FATAL_FAILURE(ChooseCom3());

    Click(IDC_RB_DEVICENET);
    ASSERT_EQ(FieldbusItem<QLineEdit>(kAddressEdit)->text(), "20");
    Retype(FieldbusItem<QLineEdit>(kAddressEdit), "42");
    Click(IDC_BTN_PROGRAM);

    EXPECT_TRUE(sim.Requests().empty());
    CNetAttributes programmed(NetworkDeviceNet);
    programmed.m_nNodeAddress = 42;
    EXPECT_EQ(com3.StoredBlock(NetworkDeviceNet), programmed.BuildBlock());
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"Devicenet attributes successfully programmed."});
}

TEST_F(ProgramTest, DeviceNetRoadStoresTheEditedBlockByteForByte) {
    sim.Preload(NetworkDeviceNet,
                ByteString{0x00, 0x0C, 0x02, 0x1E, 0x00, 0x00, 0xFE, 0x00, 0x10, 0x00, 0x05, 0x00});
    Click(IDC_RB_DEVICENET);
    ASSERT_EQ(FieldbusItem<QLineEdit>(kInputWordsEdit)->text(), "127");
    ASSERT_EQ(FieldbusItem<QLineEdit>(kOutputWordsEdit)->text(), "8");
    Retype(FieldbusItem<QLineEdit>(kAddressEdit), "63");
    auto* baudRate = FieldbusItem<QComboBox>(kBaudRateList);
    baudRate->setFocus();
    QTest::keyClick(baudRate, Qt::Key_End);
    ASSERT_EQ(baudRate->currentText(), "500 kb/s");

    Click(IDC_BTN_PROGRAM);

    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[3].msgCode, 42);
    EXPECT_EQ(requests[3].networkType, NetworkDeviceNet);
    const ByteString expected{0x00, 0x0C, 0x02, 0x1E, 0x00, 0x00, 0xFE, 0x00, 0x10, 0x00, 0x3F, 0x02};
    EXPECT_EQ(requests[3].payload, expected);
    EXPECT_EQ(sim.StoredBlock(NetworkDeviceNet), expected);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"Devicenet attributes successfully programmed."});
}

TEST_F(ProgramTest, HiddenSelectorsAreStoredOnProgram) {
    dlg->m_cbHiddenSel1->setCurrentIndex(2);
    dlg->m_cbHiddenSel2->setCurrentIndex(7);
    Click(IDC_RB_ETHERNET);
    Click(IDC_BTN_PROGRAM);
    EXPECT_EQ(theApp.m_nHiddenSel1, 2);
    EXPECT_EQ(theApp.m_nHiddenSel2, 7);
    EXPECT_EQ(sim.Requests().back().payload, theApp.m_EthernetAttr.BuildBlock())
        << "selectors are never sent";
}

TEST_F(ProgramTest, HiddenSetDefaultsButtonResetsTheCurrentRecord) {
    theApp.m_EthernetAttr.m_byIpAddress[0] = 10;
    Click(IDC_RB_ETHERNET);
    Item<QPushButton>(IDC_BTN_SET_DEFAULTS)->click();
    EXPECT_EQ(theApp.m_EthernetAttr.BuildBlock(), CNetAttributes(NetworkEthernet).BuildBlock());
    std::array<std::uint8_t, 4> shown{};
    IpAddress()->GetAddress(shown);
    EXPECT_EQ(shown, (std::array<std::uint8_t, 4>{192, 168, 1, 1}));
}

TEST_F(ProgramTest, HelpWithoutItsPageSaysWhichFileIsMissing) {
    Click(IDC_BTN_HELP);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_TRUE(recorder.boxes[0].text.contains(QFileInfo(AppHelpFilePath()).completeBaseName() + ".html"))
        << recorder.boxes[0].text.toStdString();
    EXPECT_EQ(recorder.boxes[0].type, unsigned{mb::OK | mb::ICONEXCLAMATION});
}

// F1 anywhere in the window, the pages included, gives the same help as the Help button: here, the
// same message about the missing page.
TEST_F(ProgramTest, F1AnywhereInTheWindowOpensTheHelpButtonsHelp) {
    Click(IDC_BTN_HELP);
    const std::vector<QString> helpButton = BoxTexts();
    ASSERT_EQ(helpButton.size(), 1u);
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    Click(IDC_RB_ETHERNET);
    for (QWidget* place :
         {Item(IDC_RB_NONE), Item(IDC_CB_COMPORT), static_cast<QWidget*>(IpAddress()->Field(1))}) {
        recorder.boxes.clear();
        place->setFocus();
        QTest::keyClick(place, Qt::Key_F1);
        EXPECT_EQ(BoxTexts(), helpButton) << place->metaObject()->className();
    }
}

// Whether the desktop has no opener at all or one that fails (no browser, no handler), the user learns
// that the page could not be opened, and which page it was.
class HelpOpenerTest : public DialogTest, public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        page.setFileName(QFileInfo(AppHelpFilePath()).path() + "/" +
                         QFileInfo(AppHelpFilePath()).completeBaseName() + ".html");
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.close();
        savedPath = qgetenv("PATH");
        if (const char* script = GetParam()) {
            QFile opener(bin.filePath("xdg-open"));
            ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
            opener.write(script);
            opener.close();
            opener.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        }
        qputenv("PATH", bin.path().toLocal8Bit() + (GetParam() ? ":" + savedPath : QByteArray()));
    }
    void TearDown() override {
        qputenv("PATH", savedPath);
        page.remove();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the finished opener
        DialogTest::TearDown();
    }
    QTemporaryDir bin;
    QFile page;
    QByteArray savedPath;
};

TEST_P(HelpOpenerTest, SaysSoAndNamesThePage) {
    Click(IDC_BTN_HELP);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !recorder.boxes.empty(); }, 10000));
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"No program could open the help page " +
                                               QFileInfo(page).absoluteFilePath() + "."});
    EXPECT_EQ(recorder.boxes[0].type, unsigned{mb::OK | mb::ICONEXCLAMATION});
}

INSTANTIATE_TEST_SUITE_P(Openers, HelpOpenerTest, testing::Values("#!/bin/sh\nexit 3\n", nullptr),
                         [](const auto& info) {
                             return std::string(info.param ? "OpenerFails" : "NoOpener");
                         });

struct HelpPathCase {
    const char* name;
    const char* executable;
    const char* helpFile;
};

class HelpPathTest : public testing::TestWithParam<HelpPathCase> {};

TEST_P(HelpPathTest, ReplacesOrAppendsTheExtension) {
    EXPECT_EQ(HelpFilePathFor(GetParam().executable), GetParam().helpFile);
}

INSTANTIATE_TEST_SUITE_P(Paths, HelpPathTest,
                         testing::Values(HelpPathCase{"NoExtension", "/opt/talvor/TALVOR_EthernetConfig",
                                                      "/opt/talvor/TALVOR_EthernetConfig.HLP"},
                                         HelpPathCase{"ExtensionReplaced",
                                                      "/opt/talvor/TALVOR_EthernetConfig.exe",
                                                      "/opt/talvor/TALVOR_EthernetConfig.HLP"},
                                         HelpPathCase{"DotInTheFolderOnly", "/opt/v1.0/TALVOR_EthernetConfig",
                                                      "/opt/v1.0/TALVOR_EthernetConfig.HLP"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct HelpPlaceCase {
    const char* name;
    bool pageBeside;
    bool pageInstalled;
    const char* found; // relative to the root of bin/ and share/
};

class HelpPlaceTest : public testing::TestWithParam<HelpPlaceCase> {};

TEST_P(HelpPlaceTest, PrefersThePageBesideTheExecutable) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("bin") && QDir(root.path()).mkpath("share/talvor"));
    const auto put = [&](const QString& page) {
        QFile file(root.filePath(page));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    if (GetParam().pageBeside)
        put("bin/TALVOR_EthernetConfig.html");
    if (GetParam().pageInstalled)
        put("share/talvor/TALVOR_EthernetConfig.html");
    EXPECT_EQ(FindHelpFile(root.filePath("bin/TALVOR_EthernetConfig"), "../share/talvor"),
              root.filePath(GetParam().found));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HelpPlaceTest,
    testing::Values(HelpPlaceCase{"BuildTree", true, false, "bin/TALVOR_EthernetConfig.HLP"},
                    HelpPlaceCase{"Installed", false, true, "share/talvor/TALVOR_EthernetConfig.HLP"},
                    HelpPlaceCase{"Both", true, true, "bin/TALVOR_EthernetConfig.HLP"},
                    HelpPlaceCase{"Neither", false, false, "bin/TALVOR_EthernetConfig.HLP"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
