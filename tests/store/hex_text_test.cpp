#include "config/hex_text.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(HexTextTest, ReadsUpTo32BitsAndNamesTheTextOtherwise) {
    EXPECT_EQ(ParseHexText("0"), 0u);
    EXPECT_EQ(ParseHexText("1e000"), 0x1E000u);
    EXPECT_EQ(ParseHexText("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHexText("000000100"), 0x100u);  // leading zeros do not count
    for (const std::string bad : {"", "12G0", "100000000", "-1", " 10"}) {
        try {
            ParseHexText(bad);
            ADD_FAILURE() << bad;
        } catch (const ConversionError& error) {
            EXPECT_EQ(std::string(error.what()), "'0x" + bad + "' is not a valid integer value");
        }
    }
    EXPECT_EQ(HexDigits(0x2C, 2), "2C");
    EXPECT_EQ(HexDigits(0x12C, 2), "12C");
    EXPECT_EQ(HexDigits(0xFFFFFFFF, 2), "FFFFFFFF");
}

}  // namespace
}  // namespace quillon
