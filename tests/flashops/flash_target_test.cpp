// The flash a run works on follows the stored connect mode: whether the board writes whole
// blocks and compares checksums itself depends on the route, a stored value outside the four
// modes walks the debugger's blocks without the board's whole-block writes, and the flash
// ends holding the image on every route.
#include <gmock/gmock.h>

#include <algorithm>

#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

struct Route {
    const char* scenario;
    int32_t connectMode;
    sim::FlashId flash;
    bool boardWritesBlocks;  // QuickWriteBlock (0x08) instead of WriteBlock
    bool boardCompares;      // VerifyBlockChecksums (0x07) instead of a read back
};

class FlashTargetRoutes : public ::testing::TestWithParam<Route> {};

TEST_P(FlashTargetRoutes, TheRouteDecidesWhatTheBoardDoesItself) {
    const Route& route = GetParam();
    FlashRig rig(ScenarioFile(route.scenario));
    rig.settings.WriteInt("ConnectMode", route.connectMode);
    rig.settings.WriteInt("QuickMode", 2);
    rig.flags.quickModeCapable = true;
    rig.cache.commandModeWrite = 3;
    rig.cache.flashblock = 2;
    rig.LoadImage(2 * kBlock);

    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
    EXPECT_EQ(rig.ops.Read().result, StepResult::Ok);

    const auto& image = rig.image.imageBuffer;
    const auto flash = rig.Flash(route.flash);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_EQ(rig.image.readBuffer, image);
    EXPECT_EQ(rig.SentWith(0x08).size(), route.boardWritesBlocks ? 2u : 0u);
    // Program and verify compare two blocks each; the read confirms its two blocks.
    EXPECT_EQ(rig.SentWith(0x07).size(), route.boardCompares ? 6u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FlashTargetRoutes,
    ::testing::Values(Route{"default", 1, sim::FlashId::kExternalSpi, true, true},
                      Route{"default", 2, sim::FlashId::kExternalSpi, true, true},
                      Route{"default", 0, sim::FlashId::kExternalSpi, false, true},
                      Route{"default", 7, sim::FlashId::kExternalSpi, false, true},
                      Route{"socket", 3, sim::FlashId::kSocket, false, false}));

}  // namespace
}  // namespace quillon::test
