#pragma once

#include "app/NetConfigApp.h"
#include "link/MessageBoxSink.h"

#include <gtest/gtest.h>

// theApp's messages go to message boxes, as the utility's start-up arranges, so that a BoxRecorder
// sees them. Set when the tests start, after every static object is made.
class UtilityMessagesEnvironment : public testing::Environment {
public:
    void SetUp() override { theApp.m_pMessageSink = &MessageBoxSink(); }
};

inline testing::Environment* const kUtilityMessages =
    testing::AddGlobalTestEnvironment(new UtilityMessagesEnvironment);
