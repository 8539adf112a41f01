#include "seriallink/Crc16.h"
#include "seriallink/Frame.h"
#include <gtest/gtest.h>
TEST(Crc16, CheckValue) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc16(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())), 0x29B1);
}
