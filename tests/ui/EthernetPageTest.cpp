#include "ui/EthernetPage.h"
#include "platform/DialogBuilder.h"
#include "platform/IPAddressCtrl.h"
#include "res/EthernetPageTemplate.h"
#include "tests/ui/UiTestSupport.h"

#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>

#include <array>

namespace {

using Octets = std::array<std::uint8_t, 4>;

class EthernetPageTest : public UiTest {
protected:
    CIPAddressCtrl& Address(int id) { return *GetDlgItemAs<CIPAddressCtrl>(page, id); }
    QLineEdit& Edit(int id) { return *GetDlgItemAs<QLineEdit>(page, id); }

    Octets Shown(int id) {
        Octets octets{};
        Address(id).GetAddress(octets);
        return octets;
    }

    static Octets Of(const std::uint8_t (&field)[4]) { return {field[0], field[1], field[2], field[3]}; }

    QDialog parent;
    CEthernetPage page{&parent};
};

TEST_F(EthernetPageTest, CreationShowsTheDefaultAddresses) {
    EXPECT_EQ(Shown(IDC_IP_ADDRESS), (Octets{192, 168, 1, 1}));
    EXPECT_EQ(Shown(IDC_IP_SUBNET_MASK), (Octets{255, 255, 255, 0}));
    EXPECT_EQ(Shown(IDC_IP_GATEWAY), (Octets{0, 0, 0, 0}));
    EXPECT_FALSE(page.isHidden());
}

TEST_F(EthernetPageTest, ShowThenSaveLeavesEveryFieldOfTheRecordAsItWas) {
    CNetAttributes& record = theApp.m_EthernetAttr;
    record.m_nTimeout = 200;
    record.m_nPollTime = 17;
    record.m_nPortNumber = 502;
    const std::uint8_t gateway[4] = {10, 0, 0, 254};
    std::copy(std::begin(gateway), std::end(gateway), record.m_byGateway);
    const CNetAttributes before = record;

    page.ShowRecord();
    EXPECT_TRUE(page.SaveToRecord());
    EXPECT_EQ(record.BuildBlock(), before.BuildBlock());
    EXPECT_EQ(record.m_nTimeout, 200);
    EXPECT_EQ(record.m_nPollTime, 17);
    EXPECT_EQ(record.m_nPortNumber, 502);
    EXPECT_EQ(Of(record.m_byGateway), (Octets{10, 0, 0, 254}));
}

TEST_F(EthernetPageTest, AnyAddressIsStoredAsTypedAndBlankFieldsAsZero) {
    Address(IDC_IP_ADDRESS).SetAddress(0);
    Address(IDC_IP_SUBNET_MASK).SetAddress(0);
    Address(IDC_IP_GATEWAY).SetAddress(MakeIpAddress(172, 16, 9, 1));
    Address(IDC_IP_GATEWAY).Field(2)->clear();

    EXPECT_TRUE(page.SaveToRecord());
    const CNetAttributes& record = theApp.m_EthernetAttr;
    EXPECT_EQ(Of(record.m_byIpAddress), (Octets{0, 0, 0, 0}));
    EXPECT_EQ(Of(record.m_bySubnetMask), (Octets{0, 0, 0, 0}));
    EXPECT_EQ(Of(record.m_byGateway), (Octets{172, 16, 0, 1}));
}

TEST_F(EthernetPageTest, PortNumberIsWrittenButNeverReadBack) {
    theApp.m_EthernetAttr.m_nPortNumber = 1234;
    page.ShowRecord();
    EXPECT_EQ(Edit(IDC_ED_PORT_NUMBER).text(), "1234");

    Edit(IDC_ED_PORT_NUMBER).setText("99");
    EXPECT_TRUE(page.SaveToRecord());
    EXPECT_EQ(theApp.m_EthernetAttr.m_nPortNumber, 1234);
}

TEST_F(EthernetPageTest, HiddenTimeoutAndPollTimeGoBackThroughTheirEdits) {
    Edit(IDC_ED_ETH_TIMEOUT).setText("45");
    Edit(IDC_ED_ETH_POLL_TIME).setText("");
    EXPECT_TRUE(page.SaveToRecord());
    EXPECT_EQ(theApp.m_EthernetAttr.m_nTimeout, 45);
    EXPECT_EQ(theApp.m_EthernetAttr.m_nPollTime, 0);
}

TEST_F(EthernetPageTest, WorksOnTheEthernetRecordWhateverTheCurrentType) {
    theApp.m_nNetworkType = NetworkDeviceNet;
    const CNetAttributes deviceNetBefore = theApp.m_DeviceNetAttr;
    Address(IDC_IP_ADDRESS).SetAddress(MakeIpAddress(10, 1, 2, 3));
    EXPECT_TRUE(page.SaveToRecord());
    EXPECT_EQ(Of(theApp.m_EthernetAttr.m_byIpAddress), (Octets{10, 1, 2, 3}));
    EXPECT_EQ(theApp.m_DeviceNetAttr.BuildBlock(), deviceNetBefore.BuildBlock());
}

TEST_F(EthernetPageTest, FrameEndsAtThePageEdgeWhenLaidIntoASmallerArea) {
    auto* frame = page.findChild<QGroupBox*>();
    ASSERT_NE(frame, nullptr);
    const QRect full = frame->geometry();
    parent.show(); // a hidden widget gets its resize event only when shown

    page.resize(full.width() - 5, full.height() - 3);
    EXPECT_EQ(frame->geometry(), QRect(full.topLeft(), QSize(full.width() - 5, full.height() - 3)));

    page.resize(full.width() + 20, full.height() + 20);
    EXPECT_EQ(frame->geometry(), full) << "a larger area gives the frame its own size back";
}

} // namespace
