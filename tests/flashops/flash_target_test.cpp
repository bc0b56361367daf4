// The flash a run works on follows the stored connect mode: whether the board writes whole
// blocks and compares checksums itself depends on the route, a stored value outside the four
// modes walks the debugger's blocks without the board's whole-block writes, and the flash
// ends holding the image on every route.
#include <gmock/gmock.h>

#include <algorithm>

#include "config/memory_settings_store.h"
#include "flashops/flash_kind.h"
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

// What an Auto unit does around the operations, for every stored connect mode: only the
// USB-PD controller keeps its own sequence, stays in flash mode and has no status registers;
// only the socket's board records the image; a value outside the four modes is the
// debugger's blocks.
TEST(FlashKinds, EachStoredModeGetsItsUnitFacts) {
    struct Case {
        int32_t stored;
        FlashKind kind;
        bool pd;
        bool socket;
    };
    for (const Case& c :
         {Case{1, FlashKind::DebuggerBlocks, false, false},
          Case{2, FlashKind::DebuggerBlocks, false, false},
          Case{3, FlashKind::SocketBlocks, false, true}, Case{4, FlashKind::PdPages, true, false},
          Case{0, FlashKind::UnknownModeBlocks, false, false},
          Case{5, FlashKind::UnknownModeBlocks, false, false}}) {
        SCOPED_TRACE(c.stored);
        MemorySettingsStore settings;
        settings.WriteInt("ConnectMode", c.stored);
        const FlashKind kind = FlashKindOf(settings);
        EXPECT_EQ(kind, c.kind);
        const FlashKindFacts& facts = FactsOf(kind);
        EXPECT_EQ(facts.plansFastFlash, !c.pd);
        EXPECT_EQ(facts.leavesFlashMode, !c.pd);
        EXPECT_EQ(facts.statusRegisters, !c.pd);
        EXPECT_EQ(facts.recordsOnBoard, c.socket);
    }
}

}  // namespace
}  // namespace quillon::test
