#pragma once

#include "app/NetConfigApp.h"
#include "platform/LastError.h"
#include "sim/ControllerSimulator.h"
#include "sim/SimulatedLine.h"
#include "tests/support/BoxRecorder.h"
#include "tests/support/UtilityMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

// theApp's link against an in-process controller simulator on a pseudo-terminal. Every COM port is
// mapped: the one under test to the simulator, the others to devices that do not exist, so a request
// on the wrong port fails loudly. UseSimulatedLine() takes the pseudo-terminal out of the way.
class SimulatedControllerTest : public testing::Test {
protected:
    void SetUp() override {
        sim.Start();
        UseComPort(0);
        SetLastSystemError(0);
    }

    void TearDown() override {
        theApp.m_SerialComm.CloseComPort();
        theApp.m_SerialComm.m_pLineSource = &CLineSource::SerialPorts();
        for (int port = 1; port <= 8; ++port)
            ::unsetenv(PortVariable(port).c_str());
        theApp.m_nComPort = 0;
        SetLastSystemError(0);
    }

    // Points COM port index `index` (0 for "Com1") at the simulator and selects it in theApp.
    void UseComPort(int index) {
        for (int port = 1; port <= 8; ++port) {
            const std::string device =
                port == index + 1 ? sim.DevicePath() : "/nonexistent/talvor-com" + std::to_string(port);
            ::setenv(PortVariable(port).c_str(), device.c_str(), 1);
        }
        theApp.m_nComPort = index;
    }

    // theApp's link reaches the simulator in-process, on a clock that moves only while the link waits:
    // time-outs and late replies cost no real time.
    void UseSimulatedLine() { theApp.m_SerialComm.m_pLineSource = &line; }

    // The simulator notices a close asynchronously; give it a moment.
    bool WaitForClientCloses(int expected) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (sim.ClientCloses() < expected && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return sim.ClientCloses() >= expected;
    }

    static std::string PortVariable(int port) { return "TALVOR_COM" + std::to_string(port); }

    BoxRecorder recorder;
    ControllerSimulator sim;
    SimulatedLine line{sim};
};
