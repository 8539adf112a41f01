#include "ui/FieldbusPage.h"
#include "platform/DialogBuilder.h"
#include "res/FieldbusPageTemplate.h"
#include "tests/support/TestNames.h"
#include "tests/ui/UiTestSupport.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

class FieldbusPageTest : public UiTest {
protected:
    void Show(NetworkType type) {
        theApp.m_nNetworkType = type;
        page.ShowRecord();
    }
    QLineEdit& Edit(int id) { return *GetDlgItemAs<QLineEdit>(page, id); }
    QLabel& Label(int id) { return *GetDlgItemAs<QLabel>(page, id); }
    QComboBox& BaudRate() { return *GetDlgItemAs<QComboBox>(page, IDC_CB_BAUD_RATE); }

    QDialog parent;
    CFieldbusPage page{&parent};
};

// ---- validation -------------------------------------------------------------------------------

enum class Outcome { Stored, AddressRejected, WordsRejected };

struct ValidationCase {
    const char* name;
    NetworkType type;
    const char* address;
    const char* inputWords;
    const char* outputWords;
    Outcome outcome;
    const char* message; // empty when accepted
};

class FieldbusValidationTest : public FieldbusPageTest, public testing::WithParamInterface<ValidationCase> {};

TEST_P(FieldbusValidationTest, ChecksInOrderAndStoresWhatPassed) {
    const ValidationCase& c = GetParam();
    Show(c.type);
    CNetAttributes& record = GetCurrentAttributes();
    const CNetAttributes before = record;

    Edit(IDC_ED_TIMEOUT).setText("77");
    Edit(IDC_ED_POLL_TIME).setText("9");
    Edit(IDC_ED_NODE_ADDRESS).setText(c.address);
    Edit(IDC_ED_INPUT_WORDS).setText(c.inputWords);
    Edit(IDC_ED_OUTPUT_WORDS).setText(c.outputWords);

    EXPECT_EQ(page.SaveToRecord(), c.outcome == Outcome::Stored);
    if (c.outcome == Outcome::Stored) {
        EXPECT_TRUE(boxes.empty());
    } else {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].type, mb::ICONSTOP);
    }

    const bool addressStored = c.outcome != Outcome::AddressRejected;
    EXPECT_EQ(record.m_nNodeAddress, addressStored ? QString(c.address).toInt() : before.m_nNodeAddress);
    EXPECT_EQ(record.m_nTimeout, addressStored ? 77 : before.m_nTimeout);
    EXPECT_EQ(record.m_nPollTime, addressStored ? 9 : before.m_nPollTime);
    const bool wordsStored = c.outcome == Outcome::Stored;
    EXPECT_EQ(record.m_nInputWords, wordsStored ? QString(c.inputWords).toInt() : before.m_nInputWords);
    EXPECT_EQ(record.m_nOutputWords, wordsStored ? QString(c.outputWords).toInt() : before.m_nOutputWords);
    EXPECT_EQ(record.m_byBaudRate, before.m_byBaudRate);
}

constexpr auto DN = NetworkDeviceNet;
constexpr auto PB = NetworkProfibus;
constexpr auto OK = Outcome::Stored;
constexpr auto BadAddress = Outcome::AddressRejected;
constexpr auto BadWords = Outcome::WordsRejected;

INSTANTIATE_TEST_SUITE_P(
    Rules, FieldbusValidationTest,
    testing::Values(
        ValidationCase{"MacId0", DN, "0", "16", "16", OK, ""},
        ValidationCase{"MacId63", DN, "63", "16", "16", OK, ""},
        ValidationCase{"MacIdEmptyIsZero", DN, "", "16", "16", OK, ""},
        ValidationCase{"MacId64", DN, "64", "16", "16", BadAddress, "Invalid MAC ID!"},
        ValidationCase{"MacIdBeyond32Bits", DN, "4294967296", "16", "16", BadAddress, "Invalid MAC ID!"},
        ValidationCase{"ConsumedWords1And127", DN, "5", "1", "127", OK, ""},
        ValidationCase{"ConsumedWords0", DN, "5", "0", "16", BadWords, "Invalid value for Consumed Words!"},
        ValidationCase{"ConsumedWords128", DN, "5", "128", "16", BadWords,
                       "Invalid value for Consumed Words!"},
        ValidationCase{"ProducedWords0", DN, "5", "16", "0", BadWords, "Invalid value for Output Words!"},
        ValidationCase{"ProducedWords128", DN, "5", "16", "128", BadWords, "Invalid value for Output Words!"},
        ValidationCase{"BothWordCountsBadReportsConsumedFirst", DN, "5", "0", "0", BadWords,
                       "Invalid value for Consumed Words!"},
        ValidationCase{"NodeAddress1", PB, "1", "16", "16", OK, ""},
        ValidationCase{"NodeAddress125", PB, "125", "16", "16", OK, ""},
        ValidationCase{"NodeAddress0", PB, "0", "16", "16", BadAddress, "Invalid Node address!"},
        ValidationCase{"NodeAddress126", PB, "126", "16", "16", BadAddress, "Invalid Node address!"},
        ValidationCase{"NodeAddressEmpty", PB, "", "16", "16", BadAddress, "Invalid Node address!"},
        ValidationCase{"BadAddressIsReportedBeforeBadWords", PB, "0", "500", "500", BadAddress,
                       "Invalid Node address!"},
        ValidationCase{"ProfibusWords0", PB, "3", "0", "0", OK, ""},
        ValidationCase{"ProfibusWords122And0", PB, "3", "122", "0", OK, ""},
        ValidationCase{"ProfibusSum207", PB, "3", "122", "85", OK, ""},
        ValidationCase{"InputWords123", PB, "3", "123", "0", BadWords, "Invalid value for input words!"},
        ValidationCase{"OutputWords123", PB, "3", "0", "123", BadWords, "Invalid value for output words!"},
        ValidationCase{"ProfibusSum208", PB, "3", "122", "86", BadWords,
                       "The sum of Input and Output must be less than 208"}),
    [](const testing::TestParamInfo<ValidationCase>& info) {
        return NetworkTypeName(info.param.type) + "_" + info.param.name;
    });

class FieldbusFocusTest : public FieldbusPageTest {
protected:
    void SetUp() override {
        FieldbusPageTest::SetUp();
        elsewhere = new QLineEdit(&parent);
        parent.show();
        parent.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&parent));
        Show(NetworkProfibus);
        elsewhere->setFocus();
        ASSERT_TRUE(elsewhere->hasFocus());
    }
    QLineEdit* elsewhere = nullptr;
};

TEST_F(FieldbusFocusTest, InvalidAddressTakesTheFocusToItsEdit) {
    Edit(IDC_ED_NODE_ADDRESS).setText("0");
    EXPECT_FALSE(page.SaveToRecord());
    EXPECT_TRUE(Edit(IDC_ED_NODE_ADDRESS).hasFocus());
}

TEST_F(FieldbusFocusTest, TooLargeSumLeavesTheFocusWhereItWas) {
    Edit(IDC_ED_NODE_ADDRESS).setText("3");
    Edit(IDC_ED_INPUT_WORDS).setText("122");
    Edit(IDC_ED_OUTPUT_WORDS).setText("86");
    EXPECT_FALSE(page.SaveToRecord());
    EXPECT_TRUE(elsewhere->hasFocus());
}

// ---- labels and visibility --------------------------------------------------------------------

struct ViewCase {
    NetworkType type;
    const char* addressLabel;
    const char* groupTitle;
    const char* inputLabel;
    const char* outputLabel;
    bool baudRateShown;
};

class FieldbusViewTest : public FieldbusPageTest, public testing::WithParamInterface<ViewCase> {};

TEST_P(FieldbusViewTest, ShowRecordRetitlesAndShowsTheControlsOfTheType) {
    const ViewCase& c = GetParam();
    Show(c.type);
    EXPECT_EQ(Label(IDC_ST_NODE_ADDRESS).text(), c.addressLabel);
    EXPECT_EQ(GetDlgItemAs<QGroupBox>(page, IDC_GRP_PROPERTIES)->title(), c.groupTitle);
    EXPECT_EQ(Label(IDC_ST_INPUT_WORDS).text(), c.inputLabel);
    EXPECT_EQ(Label(IDC_ST_OUTPUT_WORDS).text(), c.outputLabel);

    EXPECT_EQ(GetDlgItem(page, IDC_ST_BAUD_RATE)->isHidden(), !c.baudRateShown);
    EXPECT_EQ(BaudRate().isHidden(), !c.baudRateShown);
    for (int id : {IDC_GRP_PROPERTIES, IDC_ST_NODE_ADDRESS, IDC_ED_NODE_ADDRESS, IDC_ST_INPUT_WORDS,
                   IDC_ED_INPUT_WORDS, IDC_ST_OUTPUT_WORDS, IDC_ED_OUTPUT_WORDS})
        EXPECT_FALSE(GetDlgItem(page, id)->isHidden()) << id;
    for (int id : {IDC_ST_MAX_STRING, IDC_ST_TIMEOUT_LABEL, IDC_ST_TIMEOUT_UNIT, IDC_ST_POLL_TIME_LABEL,
                   IDC_ST_POLL_TIME_UNIT, IDC_ED_TIMEOUT, IDC_ED_POLL_TIME})
        EXPECT_TRUE(GetDlgItem(page, id)->isHidden()) << id;
    EXPECT_FALSE(Edit(IDC_ED_INPUT_WORDS).isEnabled());
    EXPECT_FALSE(Edit(IDC_ED_OUTPUT_WORDS).isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Types, FieldbusViewTest,
    testing::Values(ViewCase{NetworkDeviceNet, "MAC ID (0-63)", "DeviceNet Properties", "Consumed words",
                             "Produced words", true},
                    ViewCase{NetworkProfibus, "Node Address (1-125)", "Profibus Properties", "Input words",
                             "Output words", false}),
    [](const testing::TestParamInfo<ViewCase>& info) { return NetworkTypeName(info.param.type); });

TEST_F(FieldbusPageTest, SwitchingTypesReplacesTheLabelsOfTheOtherType) {
    Show(NetworkProfibus);
    Show(NetworkDeviceNet);
    EXPECT_EQ(Label(IDC_ST_NODE_ADDRESS).text(), "MAC ID (0-63)");
    EXPECT_FALSE(BaudRate().isHidden());
}

TEST_F(FieldbusPageTest, ShowRecordFillsTheFieldsFromTheCurrentRecord) {
    CNetAttributes& record = theApp.m_DeviceNetAttr;
    record.m_nNodeAddress = 42;
    record.m_nInputWords = 8;
    record.m_nOutputWords = 99;
    record.m_nTimeout = 12;
    record.m_nPollTime = 3;
    record.m_byBaudRate = 2;
    Show(NetworkDeviceNet);
    EXPECT_EQ(Edit(IDC_ED_NODE_ADDRESS).text(), "42");
    EXPECT_EQ(Edit(IDC_ED_INPUT_WORDS).text(), "8");
    EXPECT_EQ(Edit(IDC_ED_OUTPUT_WORDS).text(), "99");
    EXPECT_EQ(Edit(IDC_ED_TIMEOUT).text(), "12");
    EXPECT_EQ(Edit(IDC_ED_POLL_TIME).text(), "3");
    EXPECT_EQ(BaudRate().currentText(), "500 kb/s");
}

TEST_F(FieldbusPageTest, BaudRateIndexOutsideTheListSelectsNothingAndStaysInTheRecord) {
    theApp.m_DeviceNetAttr.m_byBaudRate = 3;
    Show(NetworkDeviceNet);
    EXPECT_EQ(BaudRate().currentIndex(), -1);
    EXPECT_EQ(theApp.m_DeviceNetAttr.m_byBaudRate, 3);

    Edit(IDC_ED_NODE_ADDRESS).setText("1");
    EXPECT_TRUE(page.SaveToRecord());
    EXPECT_EQ(theApp.m_DeviceNetAttr.m_byBaudRate, 3);
}

TEST_F(FieldbusPageTest, PickingABaudRateStoresItAtOnce) {
    Show(NetworkDeviceNet);
    QTest::keyClick(&BaudRate(), Qt::Key_Down);
    EXPECT_EQ(BaudRate().currentIndex(), 1);
    EXPECT_EQ(theApp.m_DeviceNetAttr.m_byBaudRate, 1);
}

TEST_F(FieldbusPageTest, CreationWhileTheTypeIsNoneKeepsTheTemplateTitles) {
    EXPECT_EQ(Label(IDC_ST_NODE_ADDRESS).text(), "MAC ID (0-63)");
    EXPECT_EQ(GetDlgItemAs<QGroupBox>(page, IDC_GRP_PROPERTIES)->title(), "Static");
    EXPECT_FALSE(GetDlgItem(page, IDC_ST_MAX_STRING)->isHidden());
    EXPECT_EQ(Edit(IDC_ED_NODE_ADDRESS).text(), QString::number(theApp.m_EthernetAttr.m_nNodeAddress));
}

} // namespace
