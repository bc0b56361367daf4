// Erase, blank check, program, verify and read in each connect mode, on the shipped bench
// scenarios: the route reaches the board as the mode says, and the flash ends holding the
// image.
#include <gmock/gmock.h>

#include <algorithm>
#include <set>

#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

struct Bench {
    const char* scenario;
    int connectMode;
    sim::FlashId flash;
    uint8_t opcode;
    std::set<uint8_t> subs;  // the flash sub-commands this route uses
};

class ConnectModes : public ::testing::TestWithParam<Bench> {};

TEST_P(ConnectModes, AFullRunLeavesTheImageInTheFlash) {
    const Bench& bench = GetParam();
    FlashRig rig(ScenarioFile(bench.scenario));
    rig.settings.WriteInt("ConnectMode", bench.connectMode);
    rig.cache.flashblock = 2;
    rig.cache.sectorSize = 4;
    if (bench.connectMode == 4) {
        rig.UsePd();
    }
    rig.FillFlash(0x00, bench.flash);
    rig.LoadImage(bench.connectMode == 4 ? 40000 : 2 * kBlock);
    const auto image = rig.image.imageBuffer;

    EXPECT_EQ(rig.ops.Erase().result, StepResult::Ok);
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Ok);
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
    EXPECT_EQ(rig.ops.Read().result, StepResult::Ok);
    EXPECT_TRUE(rig.panel.boxes.empty());

    const auto flash = rig.Flash(bench.flash);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.image.readBuffer.begin()));
    for (const auto& e : rig.board.Trace()) {
        EXPECT_EQ(e.header[0], bench.opcode);
        EXPECT_TRUE(bench.subs.count(e.header[1])) << std::hex << int(e.header[1]);
        EXPECT_EQ(e.result, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Benches, ConnectModes,
    ::testing::Values(Bench{"default", 1, sim::FlashId::kExternalSpi, 0xF2, {0x02, 0x03, 0x04}},
                      Bench{"default", 2, sim::FlashId::kExternalSpi, 0xF3, {0x02, 0x03, 0x04}},
                      Bench{"ec-kbs-spi", 1, sim::FlashId::kExternalSpi, 0xF2, {0x02, 0x03, 0x04}},
                      Bench{"socket", 3, sim::FlashId::kSocket, 0xF2, {0x12, 0x13, 0x14}},
                      Bench{"pd-d1", 4, sim::FlashId::kPd, 0xFC, {0x02, 0x03, 0x04}}));

}  // namespace
}  // namespace quillon::test
