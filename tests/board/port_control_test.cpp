// The action codes the SMBus and flash-selection settings call for.
#include <gtest/gtest.h>

#include "board/port_control.h"

namespace quillon::test {
namespace {

std::optional<int> Code(std::optional<PortAction> action) {
    if (!action) {
        return std::nullopt;
    }
    return static_cast<int>(*action);
}

TEST(PortControl, SpecialWaveCodes) {
    EXPECT_EQ(Code(SpecialWaveAction(SpecialWave::Clk120kDat120k)), 1);
    EXPECT_EQ(Code(SpecialWaveAction(SpecialWave::Clk100kDat200k)), 7);
    EXPECT_EQ(Code(SpecialWaveAction(SpecialWave::PdTestMode)), 14);
    EXPECT_EQ(Code(SpecialWaveAction(std::nullopt)), std::nullopt);
}

TEST(PortControl, SmbusSpeedCodes) {
    struct Case {
        std::optional<SmbusSpeed> speed;
        bool breakAt0;
        std::optional<int> code;
    };
    const Case cases[] = {
        {SmbusSpeed::Low, false, 2},        {SmbusSpeed::Low, true, 3},
        {SmbusSpeed::High, false, 12},      {SmbusSpeed::High, true, 13},
        {std::nullopt, true, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Code(SmbusSpeedAction(c.speed, c.breakAt0)), c.code) << c.breakAt0;
    }
}

TEST(PortControl, KbsChoices) {
    EXPECT_EQ(Code(FlashSelectAction(true)), 10);
    EXPECT_EQ(Code(FlashSelectAction(false)), 11);
    EXPECT_EQ(Code(KbsPowerOffAction(true)), 5);
    EXPECT_EQ(Code(KbsPowerOffAction(false)), 1);
}

}  // namespace
}  // namespace quillon::test
