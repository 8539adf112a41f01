#pragma once

#include "app/NetConfigApp.h"
#include "platform/MessageBox.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <vector>

// The process's one QApplication.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's test input devices would otherwise outlive it at exit.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

// Widgets on the offscreen platform, every message box recorded instead of shown, and theApp's
// records back at their defaults for each test.
class UiTest : public testing::Test {
protected:
    // Derived fixtures hold widgets, which need the application before they are constructed.
    UiTest() { TestApplication(); }

    void SetUp() override {
        SetMessageBoxHook([this](const MessageBoxRecord& box) {
            boxes.push_back(box);
            return IDOK;
        });
        theApp.m_EthernetAttr.SetDefaults();
        theApp.m_DeviceNetAttr.SetDefaults();
        theApp.m_ProfibusAttr.SetDefaults();
        theApp.m_nNetworkType = NetworkNone;
    }

    void TearDown() override {
        SetMessageBoxHook(nullptr);
        theApp.m_nNetworkType = NetworkNone;
    }

    std::vector<MessageBoxRecord> boxes;
};
