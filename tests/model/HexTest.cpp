#include "model/Hex.h"

#include <gtest/gtest.h>

namespace {

struct HexCase {
    const char* text;
    std::optional<ByteString> bytes;
};

class FromHexTest : public testing::TestWithParam<HexCase> {};

TEST_P(FromHexTest, ReadsWholePairsOnly) {
    EXPECT_EQ(FromHex(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Texts, FromHexTest,
                         testing::Values(HexCase{"000c02", ByteString{0x00, 0x0C, 0x02}},
                                         HexCase{"00 0C  02 ", ByteString{0x00, 0x0C, 0x02}},
                                         HexCase{"", ByteString{}}, HexCase{"0", std::nullopt},
                                         HexCase{"0 0", std::nullopt}, HexCase{"0G", std::nullopt},
                                         HexCase{"00-0C", std::nullopt}));

TEST(ToHex, SeparatesPairsAsAsked) {
    const ByteString bytes{0x00, 0xAB, 0x5F};
    EXPECT_EQ(ToHex(bytes), "00 AB 5F");
    EXPECT_EQ(ToHex(bytes, ""), "00AB5F");
}

} // namespace
