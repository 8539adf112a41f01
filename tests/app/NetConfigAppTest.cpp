#include "app/NetConfigApp.h"
#include "tests/support/DefaultBlocks.h"
#include "tests/support/TestNames.h"

#include <gtest/gtest.h>

namespace {

TEST(NetConfigApp, FreshStateIsNoneOnCom1WithRecordsAtDefaults) {
    EXPECT_EQ(theApp.m_nNetworkType, NetworkNone);
    EXPECT_EQ(theApp.m_nComPort, 0);
    EXPECT_EQ(theApp.m_nHiddenSel1, 1);
    EXPECT_EQ(theApp.m_nHiddenSel2, 1);
    EXPECT_EQ(theApp.m_ProfibusAttr.BuildBlock(), ProfibusDefaultBlock);
    EXPECT_EQ(theApp.m_DeviceNetAttr.BuildBlock(), DeviceNetDefaultBlock);
    EXPECT_EQ(theApp.m_EthernetAttr.BuildBlock(), EthernetDefaultBlock);
}

struct CurrentRecordCase {
    int networkType;
    CNetAttributes CNetConfigApp::*expected;
};

class CurrentAttributesTest : public testing::TestWithParam<CurrentRecordCase> {
protected:
    void TearDown() override { theApp.m_nNetworkType = NetworkNone; }
};

TEST_P(CurrentAttributesTest, PicksTheRecordOfTheCurrentType) {
    theApp.m_nNetworkType = GetParam().networkType;
    EXPECT_EQ(&GetCurrentAttributes(), &(theApp.*GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Types, CurrentAttributesTest,
                         testing::Values(CurrentRecordCase{0, &CNetConfigApp::m_EthernetAttr},
                                         CurrentRecordCase{1, &CNetConfigApp::m_EthernetAttr},
                                         CurrentRecordCase{2, &CNetConfigApp::m_DeviceNetAttr},
                                         CurrentRecordCase{3, &CNetConfigApp::m_ProfibusAttr},
                                         CurrentRecordCase{4, &CNetConfigApp::m_EthernetAttr},
                                         CurrentRecordCase{-1, &CNetConfigApp::m_EthernetAttr}),
                         [](const auto& info) { return NetworkTypeName(info.param.networkType); });

} // namespace
