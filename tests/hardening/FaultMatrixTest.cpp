#include "tests/app/DialogFixture.h"
#include "tests/link/LinkMessageCases.h"

#include <chrono>
#include <stdexcept>
#include <string_view>
#include <tuple>

// Every fault the controller or the line can produce, in each of the three requests, seen twice: as the
// link result code of the bare exchange, and as what the user meets in the main dialog: the link's
// message, the caller's follow-up, the view the dialog ends in and the controller's store. The request
// after the fault must work again. The whole matrix runs on the simulated line, where waits cost no
// real time; one case of each kind of fault runs again over a pseudo-terminal, on real clocks.
namespace {

constexpr const char* kReadFailedText =
    "Could not read DeviceNet attributes from TALVOR. Make sure that the device is connected!";
constexpr const char* kProgrammedText = "Devicenet attributes successfully programmed.";
constexpr const char* kNotProgrammedText = "Devicenet attributes could not be programmed!";
constexpr const char* kLengthText = "Incorrect Communication Packet  (Incorrect message length).";
constexpr std::uint32_t kSameAsOtherStages = ~0u;
constexpr std::uint32_t kUnknownStatus = 40; // no link result code has this value

struct FaultCase {
    const char* name;
    SimFault fault;
    std::uint32_t value; // the status of SimFault::Status, the delay of SimFault::Echo and SimFault::Late
    std::uint32_t code;  // what the link returns; Success: the exchange still succeeds
    const char* message; // the link's message; nullptr: none
    bool controllerActs; // the controller carried out the request before the reply went wrong
    // Where the read differs, since it alone offers room for a 99,999-byte payload:
    std::uint32_t readCode = kSameAsOtherStages;
    const char* readMessage = nullptr;
};

using namespace linkcode;

const FaultCase kFaultCases[] = {
    {"StatusOutOfMemory", SimFault::Status, OutOfMemory, OutOfMemory, "PLC out of memory!", false},
    {"StatusSilent18", SimFault::Status, SilentFailure, SilentFailure, nullptr, false},
    {"StatusUnknown40", SimFault::Status, kUnknownStatus, kUnknownStatus, kUnknownLinkErrorText, false},
    {"NoReply", SimFault::NoReply, 0, TimeOut, TimeOutText, false},
    {"TruncatedReply", SimFault::TruncatedReply, 0, TimeOut, TimeOutText, true},
    {"BadChecksum", SimFault::BadChecksum, 0, Checksum, "Incorrect Communication Packet  (Checksum Error).",
     true},
    // A reply numbered for another request is passed over: this one goes unanswered.
    {"WrongSequence", SimFault::WrongSequence, 0, TimeOut, TimeOutText, true},
    {"WrongMessageCode", SimFault::WrongMessageCode, 0, TimeOut, TimeOutText, true},
    {"OversizedReply", SimFault::OversizedReply, 0, MessageLength, kLengthText, true},
    {"GarbageBeforeFrame", SimFault::GarbageBeforeFrame, 0, Success, nullptr, true},
    // Slow controllers and two-wire adapters: the answer still counts within the first-byte wait, and
    // one that comes after it fails its own exchange only.
    {"EchoThenAnswerAfter300Ms", SimFault::Echo, 300, Success, nullptr, true},
    {"AnswerAfter800Ms", SimFault::Late, 800, Success, nullptr, true},
    {"AnswerAfter1300Ms", SimFault::Late, 1300, TimeOut, TimeOutText, true},
    // A line that talks on: the exchange ends at its time limit with the first damage it saw, if any.
    {"EndlessNoise", SimFault::EndlessNoise, 0, MessageLength, kLengthText, false},
    {"EndlessTrickle", SimFault::EndlessTrickle, 0, TimeOut, TimeOutText, false},
    {"EndlessHeaders", SimFault::EndlessHeaders, 0, MessageLength, kLengthText, false, TimeOut, TimeOutText},
};

const FaultCase& Case(const char* name) {
    for (const FaultCase& c : kFaultCases)
        if (std::string_view(c.name) == name)
            return c;
    throw std::invalid_argument(name);
}

enum class Stage { StatusId, Read, Write };
const Stage kStages[] = {Stage::StatusId, Stage::Read, Stage::Write};

// Where the link meets the simulator: in-process on the test's clock, or over a pseudo-terminal.
enum class Line { Simulated, Pty };

std::uint8_t StageMsgCode(Stage stage) {
    switch (stage) {
    case Stage::StatusId:
        return MSGCODE_STATUS_ID;
    case Stage::Read:
        return MSGCODE_READ_NET_ATTR;
    case Stage::Write:
        return MSGCODE_WRITE_NET_ATTR;
    }
    return 0;
}

// What the controller holds before the user starts: DeviceNet MAC ID 63 at 500 kb/s, unlike the defaults.
ByteString StoredDeviceNetBlock() {
    CNetAttributes record(NetworkDeviceNet);
    record.m_nNodeAddress = 63;
    record.m_byBaudRate = 2;
    return record.BuildBlock();
}

class FaultMatrixTest : public DialogTest,
                        public testing::WithParamInterface<std::tuple<FaultCase, Stage, Line>> {
protected:
    const FaultCase& Fault() const { return std::get<0>(GetParam()); }
    Stage GetStage() const { return std::get<1>(GetParam()); }

    void SetUp() override {
        DialogTest::SetUp();
        if (std::get<2>(GetParam()) == Line::Simulated)
            UseSimulatedLine();
        sim.Preload(NetworkDeviceNet, StoredDeviceNetBlock());
    }

    void InjectFault() { sim.InjectFault(Fault().fault, 1, Fault().value, StageMsgCode(GetStage())); }

    bool ReadDiffers() const { return GetStage() == Stage::Read && Fault().readCode != kSameAsOtherStages; }
    std::uint32_t Code() const { return ReadDiffers() ? Fault().readCode : Fault().code; }
    const char* Message() const { return ReadDiffers() ? Fault().readMessage : Fault().message; }

    // Clicks the control, noting how long the window was held (the exchange's bound shows here), on the
    // clock the link waited by.
    void TimedClick(int id) {
        const auto start = theApp.m_SerialComm.m_pLineSource->Now();
        Click(id);
        const auto held = theApp.m_SerialComm.m_pLineSource->Now() - start;
        RecordProperty("held_ms", int(std::chrono::duration_cast<std::chrono::milliseconds>(held).count()));
    }

    // The bare exchange of the stage's request, as the application makes it, with the fault injected.
    LinkResult ExchangeWithFault() {
        EXPECT_TRUE(theApp.OpenLink());
        CSerialComm& link = theApp.m_SerialComm;
        link.m_bPLCTarget = 1;
        link.m_byNetworkType = NetworkDeviceNet;
        InjectFault();
        std::vector<std::uint8_t> reply(ReadNetAttrReplyCapacity);
        std::uint32_t count = 0;
        // The stored block again, so that a controller acting on it changes nothing.
        ByteString block = StoredDeviceNetBlock();
        LinkResult result = Success;
        switch (GetStage()) {
        case Stage::StatusId:
            result = link.ProccessMsgCode_NoThread(MSGCODE_STATUS_ID, false, nullptr, 0, reply.data(),
                                                   StatusIdReplyCapacity, &count);
            break;
        case Stage::Read:
            result = link.ProccessMsgCode_NoThread(MSGCODE_READ_NET_ATTR, true, nullptr, 0, reply.data(),
                                                   ReadNetAttrReplyCapacity, &count);
            break;
        case Stage::Write:
            result = link.ProccessMsgCode_NoThread(MSGCODE_WRITE_NET_ATTR, true, block.data(),
                                                   std::uint32_t(block.size()), nullptr, 0, nullptr);
            break;
        }
        link.CloseComPort();
        return result;
    }

    // The radio button of `type` alone is checked; the page and the Program button fit it.
    void ExpectView(NetworkType type) const {
        EXPECT_EQ(theApp.m_nNetworkType, type);
        EXPECT_EQ(dlg->m_rbNone->isChecked(), type == NetworkNone);
        EXPECT_EQ(dlg->m_rbDeviceNet->isChecked(), type == NetworkDeviceNet);
        EXPECT_EQ(dlg->m_pFieldbusPage->isVisible(), type == NetworkDeviceNet);
        EXPECT_EQ(Item(IDC_BTN_PROGRAM)->isVisible(), type != NetworkNone);
    }

    // The link's own message, if the fault has one, then the caller's.
    std::vector<QString> Expected(const char* followUp) const {
        std::vector<QString> texts;
        if (Message())
            texts.push_back(Message());
        if (followUp)
            texts.push_back(followUp);
        return texts;
    }

    // Chooses DeviceNet: the status id and the read of the stored block.
    void EnterDeviceNet() {
        Click(IDC_RB_DEVICENET);
        ASSERT_EQ(theApp.m_nNetworkType, NetworkDeviceNet);
        ASSERT_TRUE(recorder.boxes.empty());
    }

    ByteString BlockWithMacId(int macId) const {
        CNetAttributes record = theApp.m_DeviceNetAttr;
        record.m_nNodeAddress = macId;
        return record.BuildBlock();
    }
};

TEST_P(FaultMatrixTest, LinkCodeMessagesViewStoreAndRecovery) {
    EXPECT_EQ(ExchangeWithFault(), Code());
    const bool fails = Code() != Success;

    if (GetStage() == Stage::Write) {
        EnterDeviceNet();
        Retype(FieldbusItem<QLineEdit>(kAddressEdit), "42");
        InjectFault();
        TimedClick(IDC_BTN_PROGRAM);

        EXPECT_EQ(BoxTexts(), Expected(fails ? kNotProgrammedText : kProgrammedText));
        ExpectView(NetworkDeviceNet);
        // A refused request changes nothing; a reply damaged on its way back follows a completed write.
        EXPECT_EQ(sim.StoredBlock(NetworkDeviceNet),
                  Fault().controllerActs ? BlockWithMacId(42) : StoredDeviceNetBlock());

        recorder.boxes.clear();
        Retype(FieldbusItem<QLineEdit>(kAddressEdit), "43");
        Click(IDC_BTN_PROGRAM);
        EXPECT_EQ(BoxTexts(), std::vector<QString>{kProgrammedText});
        EXPECT_EQ(sim.StoredBlock(NetworkDeviceNet), BlockWithMacId(43));
        return;
    }

    InjectFault();
    TimedClick(IDC_RB_DEVICENET);
    const bool readReached = GetStage() == Stage::Read;
    EXPECT_EQ(BoxTexts(), Expected(fails && readReached ? kReadFailedText : nullptr));
    ExpectView(fails ? NetworkNone : NetworkDeviceNet);
    // A failed read leaves the record alone; a successful one takes the controller's block.
    EXPECT_EQ(theApp.m_DeviceNetAttr.BuildBlock(),
              fails ? CNetAttributes(NetworkDeviceNet).BuildBlock() : StoredDeviceNetBlock());

    recorder.boxes.clear();
    Click(IDC_RB_NONE);
    Click(IDC_RB_DEVICENET);
    EXPECT_TRUE(recorder.boxes.empty());
    ExpectView(NetworkDeviceNet);
    EXPECT_EQ(theApp.m_DeviceNetAttr.BuildBlock(), StoredDeviceNetBlock());
}

std::string StageName(Stage stage) {
    switch (stage) {
    case Stage::StatusId:
        return "StatusId";
    case Stage::Read:
        return "Read";
    case Stage::Write:
        return "Write";
    }
    return "Unknown";
}

std::string CaseName(const testing::TestParamInfo<FaultMatrixTest::ParamType>& info) {
    return StageName(std::get<1>(info.param)) + "_" + std::get<0>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrixTest,
                         testing::Combine(testing::ValuesIn(kFaultCases), testing::ValuesIn(kStages),
                                          testing::Values(Line::Simulated)),
                         CaseName);

// One of each kind: a status, silence, a damaged reply, a late one, a line that talks on.
INSTANTIATE_TEST_SUITE_P(OverPty, FaultMatrixTest,
                         testing::Values(std::make_tuple(Case("StatusOutOfMemory"), Stage::Write, Line::Pty),
                                         std::make_tuple(Case("TruncatedReply"), Stage::Read, Line::Pty),
                                         std::make_tuple(Case("BadChecksum"), Stage::StatusId, Line::Pty),
                                         std::make_tuple(Case("EchoThenAnswerAfter300Ms"), Stage::Write,
                                                         Line::Pty),
                                         std::make_tuple(Case("EndlessHeaders"), Stage::Write, Line::Pty)),
                         CaseName);

} // namespace
