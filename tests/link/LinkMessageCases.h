#pragma once

#include "platform/MessageBox.h"
#include "tests/support/LinkMessageTexts.h"
#include "tests/support/TestNames.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// What the user sees for a link result code: one exact text, nothing, or the unknown-error fallback.
struct LinkMessageCase {
    std::uint32_t code;
    const char* text; // nullptr: no box at all
};

inline constexpr const char* kUnknownLinkErrorText =
    "Error C01_4:  Unknown communication error. Please check the cable and connection.";

inline const LinkMessageCase kLinkMessageCases[] = {
    {1, "Incorrect Communication Packet  (Checksum Error)."},
    {2, TimeOutText},
    {3, "Incorrect Communication Packet  (Incorrect message code)."},
    {4, kUnknownLinkErrorText},
    {5, kUnknownLinkErrorText},
    {6, "PLC out of memory!"},
    {7, "Incorrect Communication Packet  (Incorrect message number)."},
    {8, "Incorrect Communication Packet  (Incorrect message length)."},
    {9, "Incorrect Communication Packet  (Incorrect type)."},
    {10, "Incorrect Communication Packet  (Error in EEPROM program)."},
    {11, "Incorrect Communication Packet  (Incorrect message load)."},
    {12, kUnknownLinkErrorText},
    {13, kUnknownLinkErrorText},
    {14, "Incorrect Communication Packet  (Program read only error)."},
    {15, "Incorrect Communication Packet  (Incorrect Format)."},
    {16, "Incorrect Communication Packet  (Image not found)."},
    {17, "There is a Port conflict. Check the ports."},
    {18, nullptr},
    {19, "Incorrect Communication Packet  (Protection error)."},
    {20, "Function not allowed during motion!"},
    {21, "PLC is not in Program Mode"},
    {22, "Password does not match the system attributes password"},
    {23, "Can not force the type of element specified!"},
    {24, kUnknownLinkErrorText},
    {25, "The starting address does not match."},
    {26, "Could not start/re-boot TALVOR. Please make sure that the Run Switch (Switch 3) is set to ON "
         "position."},
    {27, kUnknownLinkErrorText},
    {28, kUnknownLinkErrorText},
    {29, kUnknownLinkErrorText},
    {30, "Morvik dll not initialized."},
    {31, "Invalid argument type."},
    {32, "Unable to create thread."},
    {33, "Unable to close communication port."},
    {34, "Morvik Dll not loaded."},
    {35, "Error in transmitting data."},
    {36, "Error C01_1:  Unable to open communication port."},
    {37, "Error C01_3:  communication port is being used by some other application, Access denied."},
    {38, kUnknownLinkErrorText},
    {211, kUnknownLinkErrorText},
    {212, "User aborted communication."},
    {213, "Communication aborted due to modem errors."},
    {214, kUnknownLinkErrorText},
    {255, kUnknownLinkErrorText},
};

inline std::string LinkMessageCaseName(const testing::TestParamInfo<LinkMessageCase>& info) {
    return "Code" + NumberName(info.param.code);
}

// What a link failure leaves behind: no box for a silent code, otherwise exactly one application box
// with the code's text and the information icon.
inline void ExpectLinkMessage(const std::vector<MessageBoxRecord>& boxes, const LinkMessageCase& expected) {
    if (!expected.text) {
        EXPECT_TRUE(boxes.empty());
        return;
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QString::fromUtf8(expected.text));
    EXPECT_EQ(boxes[0].caption, ApplicationName());
    EXPECT_EQ(boxes[0].type, unsigned{mb::OK | mb::ICONINFORMATION});
    EXPECT_TRUE(boxes[0].applicationModal);
}
