#include "res/StringTable.h"
#include "tests/support/LinkMessageTexts.h"
#include "tests/support/TestNames.h"

#include <gtest/gtest.h>

namespace {

TEST(StringTable, TimeOutTextBreaksAfterItsFirstSentence) {
    EXPECT_EQ(LoadResourceString(105), TimeOutText);
}

TEST(StringTable, AboutItemCarriesItsMnemonic) {
    EXPECT_EQ(LoadResourceString(101), "&About TALVOR_EthernetConfig...");
}

TEST(StringTable, RebootTextNamesTheController) {
    EXPECT_TRUE(LoadResourceString(136).contains("Could not start/re-boot TALVOR."));
}

// Ids around and inside the table that have no entry: the gaps, the ends and far outside.
class StringTableGapTest : public testing::TestWithParam<unsigned> {};

TEST_P(StringTableGapTest, HasNoText) {
    EXPECT_TRUE(LoadResourceString(GetParam()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Ids, StringTableGapTest,
                         testing::Values(0u, 100u, 106u, 108u, 119u, 121u, 123u, 126u, 139u, 0xFFFFFFFFu),
                         [](const auto& info) { return "Id" + std::to_string(info.param); });

TEST(StringTable, EveryOtherIdFrom101To138HasText) {
    for (unsigned id = 101; id <= 138; ++id) {
        const bool gap = id == 106 || id == 108 || id == 119 || id == 121 || id == 123 || id == 126;
        EXPECT_EQ(LoadResourceString(id).isEmpty(), gap) << "id " << id;
    }
}

} // namespace
