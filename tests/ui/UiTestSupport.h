#pragma once

#include "app/NetConfigApp.h"
#include "tests/support/BoxRecorder.h"
#include "tests/support/UtilityMessages.h"

#include <gtest/gtest.h>

#include <vector>

// Widgets on the offscreen platform, every message box recorded instead of shown, and theApp's
// records back at their defaults for each test.
class UiTest : public testing::Test {
protected:
    void SetUp() override {
        theApp.m_EthernetAttr.SetDefaults();
        theApp.m_DeviceNetAttr.SetDefaults();
        theApp.m_ProfibusAttr.SetDefaults();
        theApp.m_nNetworkType = NetworkNone;
    }

    void TearDown() override { theApp.m_nNetworkType = NetworkNone; }

    // Made first, so that the application exists before any widget of a derived fixture.
    BoxRecorder recorder;
    std::vector<MessageBoxRecord>& boxes = recorder.boxes;
};
