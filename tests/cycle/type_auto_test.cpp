// TypeAuto and the two flash-selection buttons against the virtual board and the shipped
// lookup table: identity lines, the part selected and stored, sizing, write-status controls
// and the status read-back.
#include <gmock/gmock.h>

#include <algorithm>

#include "tests/cycle/target_bench.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using test::BenchScenario;
using test::TargetBench;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kNotSupported = "Error : Flash TypeAuto not support this flash !!";

bool StatusReadSent(const std::vector<std::string>& transfers) {
    return std::any_of(transfers.begin(), transfers.end(),
                       [](const std::string& t) { return t.substr(3) == "09 FF"; });
}

std::vector<std::string> WritesFrom(const std::vector<std::string>& writes,
                                    const std::string& first) {
    const auto start = std::find(writes.begin(), writes.end(), first);
    return {start, writes.end()};
}

TEST(TypeAuto, JedecFormSelectsStoresAndSizesThePart) {
    TargetBench bench(BenchScenario("ec-smbus-banksize"), 2);
    bench.settings.WriteInt("ShowWriteStatus", 0);
    bench.cycle.Tick();  // flash mode: the size code is read on entry
    bench.Transfers();
    bench.panel.mainLog.clear();
    bench.settings.writes.clear();
    bench.controls.writeStatusVisible = true;
    bench.controls.writeStatus1 = "7C";

    EXPECT_EQ(bench.typeAuto.Run(), StepResult::Ok);
    EXPECT_THAT(bench.panel.mainLog,
                ElementsAre("Chip ID=11ED : Version=00",
                            "Manufacturer ID=C8 : m_MemoryType=40 : m_MemoryCapacity=11",
                            "EFlash Size : 184(+8) KB"));
    EXPECT_THAT(bench.controls.deviceLines, ElementsAre("GigaDevice", "GD25Q10"));
    EXPECT_EQ(bench.controls.deviceHint, "GigaDevice\r\nGD25Q10\r\n");
    EXPECT_EQ(bench.typePage.State().manufacturer.text, "GigaDevice");
    EXPECT_EQ(bench.typePage.State().device.text, "GD25Q10");
    EXPECT_EQ(bench.settings.ReadText("LastFlashID1"), "GigaDevice");
    EXPECT_EQ(bench.settings.ReadText("LastFlashID2"), "GD25Q10");
    EXPECT_THAT(
        WritesFrom(bench.settings.writes, "LastFlashID1"),
        ElementsAre("LastFlashID1", "LastFlashID2", "CommandMode_ReadID", "CommandMode_Read",
                    "CommandMode_Erase", "CommandMode_Write", "PageWriteSize", "EraseType",
                    "SectorSize", "Flashblock", "SectorOffset",
                    "Flashblock",    // rule 3
                    "Flashblock"));  // rule 4
    EXPECT_EQ(bench.cache.flashblock, 3);
    EXPECT_EQ(bench.eflash.eFlashSize, 0x30000u);
    EXPECT_EQ(bench.eflash.romCodeStart, 0x1E000u);
    // Internal flash, not C8 60/65 14, ShowWriteStatus 0: hidden and emptied, no read-back.
    EXPECT_FALSE(bench.controls.writeStatusVisible);
    EXPECT_EQ(bench.controls.writeStatus1 + bench.controls.writeStatus2, "");
    const auto sent = bench.Transfers();
    EXPECT_THAT(sent, ElementsAre("F3 00", "F3 01 00"));
}

TEST(TypeAuto, OlderIdFormEmptiesTheJedecTextsAndStillReadsTheStatusBack) {
    auto scenario = BenchScenario("ec-eflash-only");
    scenario.ec->eflashId = {0xFF, 0xFF, 0xFF, 0xBF, 0x48};
    TargetBench bench(scenario, 1);
    bench.settings.WriteInt("ShowWriteStatus", 2);
    bench.controls.writeStatus1 = "01";
    EXPECT_EQ(bench.typeAuto.Run(), StepResult::Ok);
    EXPECT_EQ(bench.panel.mainLog[1], "Manufacturer ID=BF : Device ID=48");
    EXPECT_EQ(bench.identity.chipIdStrings[kSlotJedecManufacturer], "");
    EXPECT_EQ(bench.identity.chipIdStrings[kSlotJedecMemoryType], "");
    EXPECT_EQ(bench.identity.chipIdStrings[kSlotJedecCapacity], "");
    EXPECT_EQ(bench.settings.ReadText("LastFlashID2"), "SST25VF512A");
    EXPECT_TRUE(bench.controls.writeStatusVisible);  // ShowWriteStatus 2, internal flash
    EXPECT_EQ(bench.controls.writeStatus1, "01");
    EXPECT_TRUE(StatusReadSent(bench.Transfers()));
}

TEST(TypeAuto, C8Part60Or65Size14OnTheInternalFlashPresetsTheWriteStatus) {
    for (const uint8_t type : std::initializer_list<uint8_t>{0x60, 0x65}) {
        SCOPED_TRACE(type);
        auto scenario = BenchScenario("ec-eflash-only");
        scenario.ec->eflashId = {0xC8, type, 0x14, 0xC8, 0x13};
        TargetBench bench(scenario, 1);
        bench.settings.WriteInt("ShowWriteStatus", 0);
        bench.typeAuto.Run();
        EXPECT_TRUE(bench.controls.writeStatusVisible);
        EXPECT_EQ(bench.controls.writeStatus1, "00");
        EXPECT_EQ(bench.controls.writeStatus2, "02");
        EXPECT_TRUE(bench.controls.writeStatusContinue2Bytes);
        EXPECT_EQ(bench.Transfers().back(), "F2 09 FF");
        EXPECT_THAT(bench.panel.mainLog[0], "Chip ID=4C8A : Version=00");
        EXPECT_EQ(bench.panel.mainLog[2], "EFlash Size : 64 KB");
    }
    // The same part as an external flash: the ordinary rules.
    auto scenario = BenchScenario("ec-eflash-only");
    scenario.ec->eflashId = {0xC8, 0x60, 0x14, 0xC8, 0x13};
    TargetBench bench(scenario, 1);
    bench.eflash.internalFlashSelected = false;  // the controller's flash stays as wired
    bench.settings.WriteInt("ShowWriteStatus", 1);
    bench.controls.writeStatus1 = "";
    bench.typeAuto.Run();
    EXPECT_TRUE(bench.controls.writeStatusVisible);
    EXPECT_EQ(bench.controls.writeStatus1, "");
    EXPECT_FALSE(StatusReadSent(bench.Transfers()));  // an empty first field: no read-back
}

TEST(TypeAuto, ManufacturerBfNeverGetsAStatusReadBack) {
    auto scenario = BenchScenario("ec-eflash-only");
    scenario.ec->eflashId = {0xBF, 0x25, 0x8D, 0xBF, 0x8D};
    TargetBench bench(scenario, 1);
    bench.settings.WriteInt("ShowWriteStatus", 2);
    bench.controls.writeStatus1 = "00";
    EXPECT_EQ(bench.typeAuto.Run(), StepResult::Ok);
    EXPECT_TRUE(bench.controls.writeStatusVisible);
    EXPECT_FALSE(StatusReadSent(bench.Transfers()));
}

TEST(TypeAuto, AKeyWithoutASectionStopsBeforeSizingAndLeavesTheWriteStatus) {
    auto scenario = BenchScenario("ec-eflash-only");
    scenario.ec->eflashId = {0x12, 0x34, 0x56, 0x12, 0x34};
    TargetBench bench(scenario, 1);
    bench.controls.deviceLines = {"Old", "Part"};
    bench.controls.writeStatusVisible = true;
    bench.controls.writeStatus1 = "05";
    bench.settings.writes.clear();
    EXPECT_EQ(bench.typeAuto.Run(), StepResult::Failed);
    EXPECT_THAT(
        bench.panel.mainLog,
        ElementsAre("Chip ID=4C8A : Version=00",
                    "Manufacturer ID=12 : m_MemoryType=34 : m_MemoryCapacity=56", kNotSupported));
    EXPECT_THAT(bench.controls.deviceLines, IsEmpty());
    EXPECT_TRUE(bench.controls.writeStatusVisible);
    EXPECT_EQ(bench.controls.writeStatus1, "05");
    EXPECT_THAT(bench.settings.writes, IsEmpty());
    EXPECT_FALSE(StatusReadSent(bench.Transfers()));
    EXPECT_EQ(bench.typePage.State().manufacturer.text, "");
}

TEST(TypeAuto, AMissingLookupFileReadsLikeAMissingSection) {
    testing::TempDir empty;
    TargetBench bench(BenchScenario("default"), 1, empty.Path());
    EXPECT_EQ(bench.typeAuto.Run(), StepResult::Failed);
    EXPECT_EQ(bench.panel.mainLog.back(), kNotSupported);
}

TEST(TypeAuto, ChipFailureIsSilentAndFlashFailureStillSizes) {
    {
        auto scenario = BenchScenario("default");
        scenario.targetPowered = false;
        TargetBench bench(scenario, 1);
        EXPECT_EQ(bench.typeAuto.Run(), StepResult::Failed);
        EXPECT_THAT(bench.panel.mainLog, IsEmpty());
        EXPECT_THAT(bench.Transfers(), ElementsAre("F2 00"));
    }
    // Nothing on the external side: the flash ID fails, the sizing and controls still run.
    auto scenario = BenchScenario("ec-eflash-only");
    TargetBench bench(scenario, 1);
    bench.eflash.internalFlashSelected = false;
    bench.board.Ec()->SelectInternal(false);
    bench.controls.writeStatusVisible = true;
    bench.controls.writeStatus1 = "05";
    EXPECT_EQ(bench.typeAuto.Run(), StepResult::Failed);
    EXPECT_THAT(bench.panel.mainLog,
                ElementsAre("Get Flash Jedec ID ---> Failure !", "EFlash Size : 64 KB"));
    EXPECT_FALSE(bench.controls.writeStatusVisible);
    EXPECT_EQ(bench.controls.writeStatus1, "");
}

TEST(TypeAuto, SocketModeHasNoChipLine) {
    TargetBench bench(BenchScenario("socket"), 3);
    EXPECT_EQ(bench.typeAuto.Run(), StepResult::Ok);
    EXPECT_EQ(bench.panel.mainLog.front(),
              "Manufacturer ID=EF : m_MemoryType=40 : m_MemoryCapacity=18");
    EXPECT_EQ(bench.settings.ReadText("LastFlashID2"), "W25Q128FV");
    EXPECT_EQ(bench.Transfers().front(), "F2 11 00");
}

TEST(TypeAuto, PdModeLooksUpFFFFFEAndNeverReadsTheStatus) {
    TargetBench bench(BenchScenario("pd-d1"), 4);
    bench.cycle.Tick();
    bench.Transfers();
    bench.panel.mainLog.clear();
    bench.controls.writeStatus1 = "00";
    bench.settings.WriteInt("ShowWriteStatus", 1);
    EXPECT_EQ(bench.typeAuto.Run(), StepResult::Ok);
    EXPECT_THAT(bench.panel.mainLog,
                ElementsAre("Chip ID=D108 : Version=00",
                            "Manufacturer ID=FF : m_MemoryType=FF : m_MemoryCapacity=FE",
                            "EFlash Size : 64 KB"));
    EXPECT_THAT(bench.controls.deviceLines, ElementsAre("Kavo", "USB-PD eFlash"));
    EXPECT_THAT(bench.Transfers(), ElementsAre("FC 01"));
}

TEST(TypeAuto, LargeFlashChipGetsItsDisplayName) {
    TargetBench bench(BenchScenario("ec-large-flash"), 1);
    bench.typeAuto.Run();
    EXPECT_EQ(bench.panel.mainLog.front(), "Chip ID=5D58 : Version=80 --> KQ85D58");
}

TEST(FlashButtons, ExternalFlashSelectsEntersAndIdentifies) {
    TargetBench bench(BenchScenario("default"), 1);
    bench.eflash.internalFlashSelected = true;
    bench.cycle.Tick();
    bench.Transfers();
    bench.panel.mainLog.clear();
    bench.cycle.ExternalFlash();
    EXPECT_THAT(bench.Transfers(),
                ElementsAre("F2 23 2006=44", "F2 23 1063=00", "F2 24 1080", "F2 27 81", "F2 00",
                            "F2 20 02", "F2 20 0B", "F2 01 00", "F2 00", "F2 01 00"));
    EXPECT_THAT(bench.panel.boxes, IsEmpty());  // no reset prompt: re-entry was cleared
    EXPECT_FALSE(bench.eflash.internalFlashSelected);
    EXPECT_FALSE(bench.board.Ec()->InternalSelected());
    EXPECT_TRUE(bench.flags.flashModeReentry);
    EXPECT_THAT(bench.controls.deviceLines, ElementsAre("Winbond", "W25Q32FV"));
    EXPECT_EQ(bench.cache.flashblock, 64);
}

TEST(FlashButtons, InternalFlashSizesByVersionAndShowsKavoEFlash) {
    TargetBench bench(BenchScenario("ec-777e"), 1);
    bench.cycle.Tick();
    bench.Transfers();
    bench.panel.mainLog.clear();
    bench.cycle.InternalFlash();
    EXPECT_TRUE(bench.board.Ec()->InternalSelected());
    EXPECT_THAT(bench.panel.mainLog,
                ElementsAre("Chip ID=777E : Version=23",
                            "Manufacturer ID=C8 : m_MemoryType=40 : m_MemoryCapacity=11",
                            "EFlash Size : 192 KB"));
    EXPECT_EQ(bench.settings.ReadInt("Flashblock"), 3);
    EXPECT_EQ(bench.cache.flashblock, 3);
    EXPECT_THAT(bench.controls.deviceLines, ElementsAre("Kavo eFlash"));
    EXPECT_EQ(bench.controls.deviceHint, "Kavo eFlash\r\n");
    EXPECT_THAT(bench.panel.boxes, IsEmpty());
}

TEST(FlashButtons, InternalFlashOnALargeFlashChipOfVersionA3) {
    auto scenario = BenchScenario("ec-large-flash");
    scenario.ec->chipId = {0x5D, 0x58, 0xA3};
    TargetBench bench(scenario, 2);
    bench.cycle.InternalFlash();
    EXPECT_EQ(bench.panel.mainLog.back(), "EFlash Size : 0 KB");
    EXPECT_EQ(bench.cache.flashblock, 0);
    EXPECT_EQ(bench.board.LastSmbAction(), 0x0A);
}

}  // namespace
}  // namespace quillon
