#pragma once

#include "model/NetworkType.h"

// What the application says about reading, programming and clearing one network type's attributes.
struct AttributeMessages {
    const char* readFailed;
    const char* notProgrammed;
    const char* programmed;
    const char* programFailed;
    const char* cleared; // the empty block was written; for Ethernet that is the Disable action
    const char* clearFailed;
};

// The messages of Ethernet, DeviceNet or Profibus; any other type gets Ethernet's.
const AttributeMessages& AttributeMessagesFor(int type);
