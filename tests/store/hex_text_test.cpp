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

TEST(HexTextTest, OneReaderWithADigitLimitForTheFixedWidthFields) {
    EXPECT_EQ(ParseHex("1e0A"), 0x1E0Au);
    EXPECT_EQ(ParseHex("84F", 3), 0x84Fu);
    EXPECT_EQ(ParseHex("0084", 4), 0x84u);
    EXPECT_FALSE(ParseHex("00084", 4));  // leading zeros count against the limit
    EXPECT_FALSE(ParseHex("", 4));
    EXPECT_FALSE(ParseHex("8G", 4));
    EXPECT_FALSE(ParseHex("0x84"));
    EXPECT_FALSE(ParseHex("100000000"));
    static_assert(ParseHex("FF", 2) == 0xFFu);
}

}  // namespace
}  // namespace quillon
