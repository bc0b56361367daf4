#include "chip/chip_groups.h"

#include <gtest/gtest.h>

#include "chip/target_identity.h"

namespace quillon {
namespace {

TEST(ChipSeriesTest, EverySeriesHoldsTheCodesBeginningWithItsDigits) {
    for (const char* series :
         {"1FDx", "91Fx", "11Ax", "11Cx", "110x", "116x", "1F5x", "117x", "327x",
          "1FBx", "917x", "914x", "91Bx", "D17x", "D1Cx", "02Dx", "027x", "FE5x",
          "1B2x", "1B6x", "1B5x", "021x", "325x", "32Cx", "4C8x", "4C7x"}) {
        uint32_t prefix = 0;
        ASSERT_TRUE(ParseHexText(std::string(series, 3), 3, prefix)) << series;
        const auto first = static_cast<uint16_t>(prefix << 4);
        EXPECT_TRUE(IsInSeries(first, series)) << series;
        EXPECT_TRUE(IsInSeries(static_cast<uint16_t>(first | 0xF), series)) << series;
        EXPECT_FALSE(IsInSeries(static_cast<uint16_t>(first + 0x10), series)) << series;
    }
}

TEST(ChipSeriesTest, FurtherMembersBelongAlthoughTheirDigitsDiffer) {
    EXPECT_TRUE(IsInSeries(0x4CE1, "4C8x"));
    EXPECT_TRUE(IsInSeries(0x115E, "117x"));
    EXPECT_TRUE(IsInSeries(0x023E, "021x"));
    EXPECT_TRUE(IsInSeries(0x1F62, "1FDx"));
    EXPECT_TRUE(IsInSeries(0x11A7, "11Ax"));  // unlisted, by its digits
    EXPECT_FALSE(IsInSeries(0x4CE1, "4C7x"));
    EXPECT_FALSE(IsInSeries(0x1234, "nonsense"));
}

TEST(ChipGroupTest, UnknownFamilyBelongsToNoGroup) {
    for (uint16_t c : std::initializer_list<uint16_t>{0x0000, 0x1234, 0xA1A0, 0x4DE1}) {
        EXPECT_FALSE(IsKnownFamily(c)) << std::hex << c;
        for (ChipGroup group :
             {ChipGroup::EFlashOnly, ChipGroup::RomCodeFamilies, ChipGroup::EflashSizedFamilies,
              ChipGroup::BankSize, ChipGroup::LargeFlashFamilies}) {
            EXPECT_FALSE(IsInGroup(group, c)) << std::hex << c;
        }
        EXPECT_EQ(ChipTraitsOf(c, 0), ChipTraits{}) << std::hex << c;
    }
}

TEST(ChipGroupTest, KnownFamiliesAreTheNineteen) {
    int known = 0;
    for (unsigned family = 0; family < 256; ++family) {
        known += IsKnownFamily(static_cast<uint16_t>(family << 8 | 0x42)) ? 1 : 0;
    }
    EXPECT_EQ(known, 19);
    EXPECT_TRUE(IsKnownFamily(0x8400));
    EXPECT_TRUE(IsKnownFamily(0xCBFF));
}

TEST(ChipGroupTest, RomCodeAndEflashSizedFamilies) {
    EXPECT_TRUE(IsInGroup(ChipGroup::RomCodeFamilies, 0x11ED));  // further member of 11Ax
    EXPECT_TRUE(IsInGroup(ChipGroup::RomCodeFamilies, 0x1F62));
    EXPECT_FALSE(IsInGroup(ChipGroup::RomCodeFamilies, 0x4C8A));
    // Every ROM-code chip is also cut to its eFlash size, not the other way round.
    EXPECT_TRUE(IsInGroup(ChipGroup::EflashSizedFamilies, 0x11ED));
    EXPECT_TRUE(IsInGroup(ChipGroup::EflashSizedFamilies, 0x4CE1));
    EXPECT_TRUE(IsInGroup(ChipGroup::EflashSizedFamilies, 0xD108));
    EXPECT_FALSE(IsInGroup(ChipGroup::EflashSizedFamilies, 0x1B50));
}

TEST(ChipGroupTest, ExactCodeGroupsTakeNoNeighbours) {
    EXPECT_TRUE(IsInGroup(ChipGroup::EFlashOnly, 0x4C8A));
    EXPECT_FALSE(IsInGroup(ChipGroup::EFlashOnly, 0x4C8B));
    EXPECT_TRUE(IsInGroup(ChipGroup::BankSize, 0x1103));
    EXPECT_TRUE(IsInGroup(ChipGroup::BankSize, 0x11C0));
    EXPECT_FALSE(IsInGroup(ChipGroup::BankSize, 0x1104));
    EXPECT_TRUE(IsInGroup(ChipGroup::LargeFlashFamilies, 0x5D00));
    EXPECT_FALSE(IsInGroup(ChipGroup::LargeFlashFamilies, 0x8400));
}

TEST(ChipTraitsTest, NoWaitSeries1FBxOnlyOverKbs) {
    EXPECT_TRUE(ChipTraitsOf(0x1FB3, 0).NoWaitOver(true));
    EXPECT_FALSE(ChipTraitsOf(0x1FB3, 0).NoWaitOver(false));
    EXPECT_TRUE(ChipTraitsOf(0x7712, 0).NoWaitOver(false));
    EXPECT_TRUE(ChipTraitsOf(0x91E9, 0).NoWaitOver(false));  // further member of 917x
    EXPECT_FALSE(ChipTraitsOf(0x1F50, 0).NoWaitOver(true));
}

TEST(ChipTraitsTest, QuickModeExceptionsOnlyAtVersion00) {
    EXPECT_TRUE(ChipTraitsOf(0x1F55, 0x00).quickModeException);
    EXPECT_FALSE(ChipTraitsOf(0x1F55, 0x01).quickModeException);
    EXPECT_TRUE(ChipTraitsOf(0x115E, 0x00).quickModeException);
    EXPECT_FALSE(ChipTraitsOf(0x1FB0, 0x00).quickModeException);
}

TEST(ChipTraitsTest, ResolvedAgainWhenTheChipIdReadsChangeTheIdentity) {
    TargetIdentity identity;
    identity.chipIdStrings[0] = "4C21";
    identity.chipIdStrings[1] = "04";
    EXPECT_EQ(identity.Traits().clockSwitch, ClockSwitch::BeforeFlashAccess);
    identity.chipIdStrings[1] = "06";
    EXPECT_EQ(identity.Traits().clockSwitch, ClockSwitch::None);
    EXPECT_TRUE(identity.Traits().smbusRouteRegister);
    identity.chipIdStrings[0] = "11ED";
    EXPECT_TRUE(identity.Traits().romCodeAreaUntested);
    EXPECT_FALSE(identity.Traits().smbusRouteRegister);
}

TEST(TargetIdentityTest, NumbersReadFromTheTexts) {
    TargetIdentity identity;
    identity.chipIdStrings[0] = "4CE1";
    identity.chipIdStrings[1] = "0A";
    EXPECT_EQ(identity.C(), 0x4CE1);
    EXPECT_EQ(identity.V(), 0x0A);
    identity.chipIdStrings[0] = "0";  // start-up text
    EXPECT_EQ(identity.C(), 0);
    identity.chipIdStrings[0] = "4CG1";
    identity.chipIdStrings[1] = "";
    EXPECT_EQ(identity.C(), 0);
    EXPECT_EQ(identity.V(), 0);
    identity.chipIdStrings[0] = "14CE1";  // too long for a code
    EXPECT_EQ(identity.C(), 0);
}

}  // namespace
}  // namespace quillon
