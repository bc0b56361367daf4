// The connection check, flash-mode entry, Reset EC and the USB-PD CPU halt against the
// virtual board: what reaches the board, in order, and what the operator sees.
#include <gmock/gmock.h>

#include "tests/cycle/target_bench.h"

namespace quillon {
namespace {

using test::BenchScenario;
using test::TargetBench;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr const char* kPowerBox = "Warning: Please Turn on KavoEC Power!";
constexpr const char* kReturnBox = "Warning: Please Press OK button to Return Flash Mode!";

bool LevelOn(const TargetBench& bench, int level) {
    return bench.panel.levelEnabled[level];
}

TEST(ConnectionCheckKbs, FirstPoweredTickSelectsTheFlashEntersFlashModeAndProbesQuickMode) {
    TargetBench bench(BenchScenario("default"), 1);
    bench.panel.SetControlLevel(ControlLevel::StopAndBelow, false);
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(),
                ElementsAre("F2 00",     // power test
                            "F2 20 0B",  // external flash
                            "F2 23 2006=44", "F2 23 1063=00", "F2 24 1080",
                            "F2 27 81",  // break at 0
                            "F2 00",     // settle: BreakAt0 reads the chip ID again
                            "F2 20 02",  // run
                            "F2 2F w1A=04", "F2 2F r1A",  // quick-mode probe
                            "F2 01 00"));                 // flash ID, every powered tick
    EXPECT_EQ(bench.panel.statusTarget, "EC/KBS Power-On");
    EXPECT_TRUE(LevelOn(bench, 1));
    EXPECT_THAT(bench.Boxes(), IsEmpty());  // no reset prompt on the first entry
    EXPECT_THAT(bench.Sleeps(), ElementsAre(100));
    EXPECT_TRUE(bench.flags.inFlashMode);
    EXPECT_TRUE(bench.flags.quickModeCapable);
    EXPECT_TRUE(bench.flags.flashModeReentry);
    EXPECT_TRUE(bench.timer1.IsEnabled());
    EXPECT_EQ(bench.identity.ChipCode(), "8458");
    EXPECT_EQ(bench.identity.chipIdStrings[kSlotJedecManufacturer], "EF");
    EXPECT_EQ(bench.identity.flashConfigByte, 0x01);
    EXPECT_FALSE(bench.board.Ec()->InternalSelected());
    EXPECT_EQ(bench.board.Ec()->RunControl(), 0x81);

    // Later ticks only test the power and refresh the flash ID.
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(), ElementsAre("F2 00", "F2 01 00"));
    EXPECT_THAT(bench.Boxes(), IsEmpty());
}

TEST(ConnectionCheckKbs, WithoutBreakAt0TheEntryWaitsInsteadOfReadingTheChipAgain) {
    TargetBench bench(BenchScenario("default"), 1);
    bench.settings.WriteInt("BreakAt0", 0);
    bench.eflash.internalFlashSelected = true;
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(),
                ElementsAre("F2 00", "F2 20 0A", "F2 23 2006=44", "F2 23 1063=00", "F2 24 1080",
                            "F2 27 81", "F2 20 02", "F2 2F w1A=04", "F2 2F r1A", "F2 01 00"));
    EXPECT_THAT(bench.Sleeps(), ElementsAre(500, 100));
    EXPECT_TRUE(bench.board.Ec()->InternalSelected());
}

TEST(ConnectionCheckKbs, ANoWaitChipNeitherWaitsNorReadsAgainAnd777EClearsItsRegisters) {
    TargetBench bench(BenchScenario("ec-777e"), 1);
    bench.cycle.Tick();
    std::vector<std::string> expected = {"F2 00",         "F2 20 0B",   "F2 23 2006=44",
                                         "F2 23 1063=00", "F2 24 1080", "F2 23 1F05=30"};
    for (int address = 0x20A0; address <= 0x20BF; ++address) {
        expected.push_back("F2 23 20" + HexByte(static_cast<uint8_t>(address)) + "=00");
    }
    for (const char* tail : {"F2 27 81", "F2 20 02", "F2 2F w1A=04", "F2 2F r1A", "F2 01 00"}) {
        expected.emplace_back(tail);
    }
    EXPECT_THAT(bench.Transfers(), ElementsAreArray(expected));
    EXPECT_THAT(bench.Sleeps(), ElementsAre(100));
}

TEST(ConnectionCheckKbs, EFlashOnlyChipEntersDirectlyAndHidesTheFlashButtons) {
    for (const bool breakAt0 : {true, false}) {
        SCOPED_TRACE(breakAt0 ? "BreakAt0" : "no BreakAt0");
        TargetBench bench(BenchScenario("ec-eflash-only"), 1);
        bench.settings.WriteInt("BreakAt0", breakAt0 ? 1 : 0);
        bench.cycle.Tick();
        EXPECT_THAT(bench.Transfers(),
                    ElementsAre("F2 00", "F2 20 0A", breakAt0 ? "F2 27 81" : "F2 27 80", "F2 00",
                                "F2 20 02", "F2 2F w1A=04", "F2 2F r1A", "F2 01 00"));
        EXPECT_EQ(bench.settings.ReadInt("Flashblock"), 1);
        EXPECT_EQ(bench.cache.flashblock, 1);
        EXPECT_FALSE(bench.controls.resetEcVisible);
        EXPECT_FALSE(bench.controls.dualFlashButtonsVisible);
        EXPECT_TRUE(bench.flags.inFlashMode);
        EXPECT_TRUE(bench.flags.flashModeReentry);  // untouched: no EnterFlashMode ran
    }
}

TEST(ConnectionCheckKbs, QuickModeProbeAndItsExceptions) {
    {
        SCOPED_TRACE("1F5x version 00 says yes, but cannot");
        TargetBench bench(BenchScenario("ec-1f5x-v00"), 1);
        bench.cycle.Tick();
        EXPECT_FALSE(bench.flags.quickModeCapable);
    }
    {
        SCOPED_TRACE("1F5x version 02");
        TargetBench bench(BenchScenario("ec-kbs-spi"), 1);
        bench.cycle.Tick();
        EXPECT_EQ(bench.panel.statusTarget, "EC/KBS Power-On");
        EXPECT_TRUE(bench.flags.quickModeCapable);
    }
    for (const uint8_t answer : std::initializer_list<uint8_t>{0xFF, 0x03}) {
        SCOPED_TRACE(answer);
        auto scenario = BenchScenario("default");
        scenario.ec->quickModeRegister = answer;
        TargetBench bench(scenario, 1);
        bench.flags.quickModeCapable = true;  // a negative answer leaves the flag as it was
        bench.cycle.Tick();
        EXPECT_TRUE(bench.flags.quickModeCapable);
        bench.flags.quickModeCapable = false;
        bench.flags.inFlashMode = false;
        bench.cycle.Tick();
        EXPECT_FALSE(bench.flags.quickModeCapable);
    }
}

TEST(ConnectionCheckKbs, PowerLossPromptsEveryTickAndPowerReturnReentersWithoutTheResetPrompt) {
    TargetBench bench(BenchScenario("default"), 1);
    bench.cycle.Tick();
    bench.Transfers();
    bench.board.SetTargetPower(false);

    bool timerOffDuringPrompt = false;
    bench.panel.onMessage = [&](const RecordingPanel::Box&) {
        timerOffDuringPrompt = !bench.timer1.IsEnabled();
    };
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(), ElementsAre("F2 00", "F2 20 01"));
    EXPECT_THAT(bench.Boxes(), ElementsAre(kPowerBox));
    EXPECT_TRUE(timerOffDuringPrompt);
    EXPECT_TRUE(bench.timer1.IsEnabled());
    EXPECT_EQ(bench.panel.statusTarget, "EC/KBS Power-Off");
    EXPECT_FALSE(LevelOn(bench, 3));
    EXPECT_TRUE(LevelOn(bench, 4));
    EXPECT_FALSE(bench.flags.inFlashMode);

    bench.settings.WriteInt("InternalClock", 1);
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(), ElementsAre("F2 00", "F2 20 05"));
    EXPECT_EQ(bench.panel.boxes.size(), 2u);

    bench.board.SetTargetPower(true);
    bench.cycle.Tick();
    const auto entry = bench.Transfers();
    EXPECT_EQ(entry.size(), 11u);
    EXPECT_THAT(std::vector(entry.begin(), entry.begin() + 4),
                ElementsAre("F2 00", "F2 20 0B", "F2 23 2006=44", "F2 23 1063=00"));
    EXPECT_EQ(bench.panel.boxes.size(), 2u);  // no "Return Flash Mode" prompt
    EXPECT_TRUE(bench.flags.inFlashMode);
}

TEST(ConnectionCheckKbs, ResetEcResetsPromptsAndEntersAgain) {
    {
        // Before any entry the program already counts as having been in flash mode.
        TargetBench fresh(BenchScenario("default"), 1);
        fresh.cycle.ResetEc();
        EXPECT_THAT(fresh.Boxes(), ElementsAre(kReturnBox));
    }
    TargetBench bench(BenchScenario("default"), 1);
    bench.cycle.Tick();
    bench.Transfers();
    bench.cycle.ResetEc();
    EXPECT_THAT(bench.Transfers(), ElementsAre("F2 23 2006=44", "F2 27 80", "F2 23 1063=00",
                                               "F2 24 1080", "F2 27 81", "F2 00", "F2 20 02"));
    EXPECT_THAT(bench.Boxes(), ElementsAre(kReturnBox));
    EXPECT_TRUE(bench.timer1.IsEnabled());
}

TEST(ConnectionCheckKbs, KeyMatchSendsTheStoredKeyAndARomCodeChipTheBuiltInKey) {
    auto scenario = BenchScenario("default");
    scenario.ec->chipId = {0x11, 0x52, 0x00};  // series 11Ax: ROM-code handling
    scenario.ec->matchKey = std::array<uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8};
    scenario.ec->romKeyLocked = true;
    TargetBench bench(scenario, 1);
    for (int i = 0; i < 8; ++i) {
        bench.settings.WriteInt(setting::kKeyNames[i], i + 1);
    }
    bench.settings.WriteInt("RomKey", 1);
    bench.controls.keyMatchTicked = true;
    bench.eflash.internalFlashSelected = true;
    bench.cycle.Tick();
    const auto sent = bench.Transfers();
    EXPECT_THAT(std::vector(sent.begin() + 6, sent.begin() + 10),
                ElementsAre("F2 00", "F2 06 k1", "F2 06 k2", "F2 20 02"));
    EXPECT_TRUE(bench.Logged("Enable & Enter Rom Key"));
    EXPECT_EQ(bench.reloads, 1);  // the last image is placed again for a ROM-code chip
    EXPECT_FALSE(bench.board.Ec()->FlashLocked());
}

TEST(ConnectionCheckKbs, ClockSwitchChipsAndD1ExternalFlashGetTheirRegisters) {
    auto scenario = BenchScenario("default");
    scenario.ec->chipId = {0x4C, 0x15, 0x48};
    {
        TargetBench bench(scenario, 1);
        bench.cycle.Tick();
        const auto sent = bench.Transfers();
        EXPECT_THAT(std::vector(sent.begin() + 2, sent.begin() + 7),
                    ElementsAre("F2 23 2006=44", "F2 23 1063=00", "F2 23 1036=10", "F2 23 1063=08",
                                "F2 24 1080"));
    }
    scenario.ec->chipId = {0xD1, 0x08, 0x00};
    TargetBench d1(scenario, 1);
    d1.cycle.Tick();
    const auto sent = d1.Transfers();
    EXPECT_THAT(std::vector(sent.begin() + 4, sent.begin() + 7),
                ElementsAre("F2 24 1080", "F2 23 1036=00", "F2 27 81"));
}

TEST(ConnectionCheck, BoardAbsentSocketModeAndAnUnknownModeSendNothing) {
    TargetBench bench(BenchScenario("socket"), 3);
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(), IsEmpty());
    EXPECT_EQ(bench.panel.statusTarget, "Flash of Vessa");
    EXPECT_TRUE(LevelOn(bench, 1));
    EXPECT_THAT(bench.Boxes(), IsEmpty());

    bench.SetMode(7);
    bench.panel.statusTarget.clear();
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(), IsEmpty());
    EXPECT_EQ(bench.panel.statusTarget, "");

    bench.SetMode(1);
    bench.link.ClearConnected();
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(), IsEmpty());
    EXPECT_FALSE(LevelOn(bench, 3));
    EXPECT_TRUE(LevelOn(bench, 4));
    EXPECT_THAT(bench.Boxes(), IsEmpty());
}

TEST(ConnectionCheck, OpeningTheSetupPageReleasesTheTargetOnceAndStopsTheCheck) {
    struct Case {
        const char* scenario;
        int mode;
        std::vector<std::string> release;
    };
    for (const Case& c :
         {Case{"default", 1, {"F2 20 00"}}, Case{"ec-smbus-romkey", 2, {"F3 20 00"}},
          Case{"pd-d1", 4, {"F3 20 00"}}, Case{"socket", 3, {}}}) {
        SCOPED_TRACE(c.scenario);
        TargetBench bench(BenchScenario(c.scenario), c.mode);
        bench.cycle.Tick();
        bench.Transfers();
        bench.flags.mainPageActive = false;
        bench.cycle.Tick();
        auto sent = bench.Transfers();
        ASSERT_FALSE(sent.empty() && !c.release.empty());
        const std::vector<std::string> tail(sent.end() - static_cast<long>(c.release.size()),
                                            sent.end());
        EXPECT_EQ(tail, c.release);
        EXPECT_FALSE(bench.timer1.IsEnabled());
        // Leaving the page does not enter flash mode again.
        EXPECT_EQ(bench.flags.inFlashMode, c.mode != 3);
    }
}

TEST(ConnectionCheckSmbus, FirstTickOfARomKeyChipOverSmbus) {
    TargetBench bench(BenchScenario("ec-smbus-romkey"), 2);
    bench.settings.WriteInt("RomKey", 1);
    bench.eflash.internalFlashSelected = true;
    bench.cycle.Tick();
    EXPECT_THAT(
        bench.Transfers(),
        ElementsAre("F3 00", "F3 20 0A", "F3 23 2006=44", "F3 23 1063=00", "F3 24 1080", "F3 27 81",
                    "F3 00", "F3 06 k2", "F3 20 02", "F3 2F w1A=04", "F3 2F r1A", "F3 01 00"));
    EXPECT_EQ(bench.panel.statusTarget, "EC/SMB Power-On");
    EXPECT_TRUE(bench.Logged("Enable & Enter Rom Key"));
    EXPECT_FALSE(bench.board.Ec()->FlashLocked());
    EXPECT_FALSE(bench.flags.quickModeCapable);  // register 0x1A reads 0x00
    EXPECT_EQ(bench.identity.flashConfigByte, 0x08);
}

TEST(ConnectionCheckSmbus, BankSizeChipReadsItsSizeCodeAndHighSpeedSettlesFor100Ms) {
    TargetBench bench(BenchScenario("ec-smbus-banksize"), 2);
    bench.settings.WriteInt("BreakAt0", 0);
    bench.settings.WriteInt("SMBusSpeed", 2);
    bench.eflash.internalFlashSelected = true;
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(),
                ElementsAre("F3 00", "F3 20 0A", "F3 23 2006=44", "F3 23 1063=00", "F3 24 1080",
                            "F3 24 2005", "F3 24 2003", "F3 20 0C", "F3 2F w1A=04", "F3 2F r1A",
                            "F3 01 00"));
    EXPECT_EQ(bench.identity.eFlashSizeCode, 2);
    EXPECT_THAT(bench.Sleeps(), ElementsAre(100, 100));

    // Reset EC over SMBus without BreakAt0: no reset, no prompt.
    bench.Transfers();
    bench.cycle.ResetEc();
    EXPECT_THAT(bench.Boxes(), IsEmpty());
    for (const auto& text : bench.Transfers()) {
        EXPECT_NE(text, "F3 27 80");
        EXPECT_NE(text, "F3 27 81");
    }
}

TEST(ConnectionCheckSmbus, SpecialWave3And4C21Version06) {
    auto scenario = BenchScenario("default");
    scenario.ec->chipId = {0x4C, 0x21, 0x06};
    TargetBench bench(scenario, 2);
    bench.settings.WriteInt("SpecialWave", 3);
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(),
                ElementsAre("F3 00", "F3 20 0B", "F3 23 2006=44", "F3 23 1063=00", "F3 24 1080",
                            "F3 23 2007=02", "F3 27 81", "F3 00", "F3 20 0F", "F3 20 02",
                            "F3 2F w1A=04", "F3 2F r1A", "F3 01 00"));
    EXPECT_THAT(bench.Sleeps(), ElementsAre(300, 100, 100));
}

TEST(ConnectionCheckSmbus, EFlashOnlyChipWithoutBreakAt0SendsNoRunControl) {
    TargetBench bench(BenchScenario("ec-eflash-only"), 2);
    bench.settings.WriteInt("BreakAt0", 0);
    bench.settings.WriteInt("SMBusSpeed", 2);
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(), ElementsAre("F3 00", "F3 20 0A", "F3 00", "F3 20 0C",
                                               "F3 2F w1A=04", "F3 2F r1A", "F3 01 00"));
}

TEST(ConnectionCheckSmbus, PowerOffSequenceFollowsSpecialWaveSpeedAndBreakAt0) {
    struct Case {
        int wave, speed, breakAt0;
        std::vector<std::string> expected;
        std::vector<long> sleeps;
    };
    const Case cases[] = {
        {2, 1, 1, {"F3 00", "F3 20 07", "F3 20 00", "F3 20 03"}, {50}},
        {1, 2, 1, {"F3 00", "F3 20 01", "F3 20 00", "F3 20 0D"}, {50}},
        {3, 2, 0, {"F3 00", "F3 20 0E", "F3 20 00", "F3 20 0F", "F3 20 0C"}, {50}},
        {4, 3, 0, {"F3 00", "F3 20 00"}, {50}},  // values without a code send none
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wave);
        auto scenario = BenchScenario("ec-smbus-romkey");
        scenario.targetPowered = false;
        TargetBench bench(scenario, 2);
        bench.settings.WriteInt("SpecialWave", c.wave);
        bench.settings.WriteInt("SMBusSpeed", c.speed);
        bench.settings.WriteInt("BreakAt0", c.breakAt0);
        bench.cycle.Tick();
        EXPECT_EQ(bench.Transfers(), c.expected);
        EXPECT_EQ(bench.Sleeps(), c.sleeps);
        EXPECT_THAT(bench.Boxes(), ElementsAre(kPowerBox));
        EXPECT_EQ(bench.panel.statusTarget, "EC/SMB Power-Off");
        EXPECT_TRUE(bench.timer1.IsEnabled());
    }
}

TEST(ConnectionCheckKbs, LongReadIdFormLogsSixteenBytesEveryPoweredTick) {
    TargetBench bench(BenchScenario("default"), 1);
    bench.cache.commandModeReadId = 16;
    bench.cycle.Tick();
    bench.cycle.Tick();
    const std::string line = "EF 40 16 FF FF FF FF FF FF FF FF FF FF FF FF FF ";
    EXPECT_EQ(std::count(bench.panel.mainLog.begin(), bench.panel.mainLog.end(), line), 2);
}

TEST(ConnectionCheckPd, FirstTickFindsTheChipUnlocksAndEntersTestMode) {
    TargetBench bench(BenchScenario("pd-d1"), 4);
    bench.cycle.Tick();
    std::vector<std::string> expected = {"FC 01", "FC 00"};
    expected.insert(expected.end(), 10, "FC 15 FE5A=3D");
    expected.emplace_back("FC 10");
    EXPECT_EQ(bench.Transfers(), expected);
    EXPECT_EQ(bench.panel.statusTarget, "PDCC/I2C Power-On");
    EXPECT_TRUE(LevelOn(bench, 1));
    EXPECT_TRUE(bench.board.Pd()->InTestMode());
    EXPECT_EQ(bench.identity.pdFlashVariant, 3);

    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(), ElementsAre("FC 01"));  // the flash ID answers now
}

TEST(ConnectionCheckPd, PowerOffSequenceRestoresTheCcRegister) {
    TargetBench bench(BenchScenario("pd-d1"), 4);
    bench.cycle.Tick();
    bench.Transfers();
    bench.board.SetTargetPower(false);
    bench.panel.onMessage = [&](const RecordingPanel::Box&) { bench.board.SetTargetPower(true); };
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(),
                ElementsAre("FC 01", "F3 20 07", "F3 20 00", "F3 20 03", "F2 24 1C34",
                            "F2 23 1C34=80", "F2 24 1C34", "F2 23 1C34=90"));
    EXPECT_THAT(bench.Sleeps(), ElementsAre(50, 200));
    EXPECT_EQ(bench.board.Pd()->Register(0x1C34), 0x90);
    EXPECT_THAT(bench.Boxes(), ElementsAre(kPowerBox));
    EXPECT_EQ(bench.panel.statusTarget, "PDCC/I2C Power-Off");
    EXPECT_FALSE(bench.flags.inFlashMode);
    EXPECT_TRUE(bench.timer1.IsEnabled());

    // The next tick enters test mode again.
    bench.cycle.Tick();
    EXPECT_TRUE(bench.board.Pd()->InTestMode());
}

TEST(ConnectionCheckPd, CpuHaltRunsTimer2OnlyWhileThePromptIsOpen) {
    auto scenario = BenchScenario("pd-d1");
    scenario.targetPowered = false;
    TargetBench bench(scenario, 4);
    bench.cycle.ToggleNeedPdCpuHalt();
    ASSERT_TRUE(bench.flags.pdCpuHaltPending);
    bool pollingDuringPrompt = false;
    bench.panel.onMessage = [&](const RecordingPanel::Box&) {
        pollingDuringPrompt = bench.timer2.IsEnabled();
    };
    bench.cycle.Tick();
    const auto sent = bench.Transfers();
    EXPECT_THAT(std::vector(sent.begin(), sent.begin() + 5),
                ElementsAre("FC 01", "FC 00", "F3 20 07", "F3 20 00", "F3 20 03"));
    EXPECT_EQ(sent[5], "F3 20 00");
    EXPECT_TRUE(pollingDuringPrompt);
    EXPECT_FALSE(bench.timer2.IsEnabled());
    EXPECT_THAT(bench.Sleeps(), ElementsAre(100, 50, 200));
}

TEST(PdCpuHalt, TheMenuItemChecksOnlyInPdModeAndAlwaysUnchecks) {
    TargetBench bench(BenchScenario("default"), 1);
    bench.cycle.ToggleNeedPdCpuHalt();
    EXPECT_FALSE(bench.flags.pdCpuHaltPending);
    bench.SetMode(4);
    bench.cycle.ToggleNeedPdCpuHalt();
    EXPECT_TRUE(bench.flags.pdCpuHaltPending);
    bench.SetMode(2);
    bench.cycle.ToggleNeedPdCpuHalt();
    EXPECT_FALSE(bench.flags.pdCpuHaltPending);
}

TEST(PdCpuHalt, Timer2WaitsForTheReadyRegistersThenHaltsOnceAndStops) {
    auto scenario = BenchScenario("pd-d1");
    scenario.pd->registers[0xFFC0] = 0x00;
    {
        TargetBench bench(scenario, 4);
        bench.cycle.ToggleNeedPdCpuHalt();
        bench.timer2.SetEnabled(true);
        bench.cycle.HaltPollTick();
        EXPECT_THAT(bench.Transfers(), ElementsAre("FC 16 FFC0"));
        EXPECT_TRUE(bench.timer2.IsEnabled());
        EXPECT_TRUE(bench.flags.pdCpuHaltPending);
    }
    {
        // Bit 4 of 0xFFC1 clear: no halt.
        auto notReady = BenchScenario("pd-d1");
        notReady.pd->registers[0xFFC1] = 0x00;
        TargetBench waiting(notReady, 4);
        waiting.cycle.HaltPollTick();
        EXPECT_THAT(waiting.Transfers(), ElementsAre("FC 16 FFC0", "FC 16 FFC1"));
    }
    auto halting = BenchScenario("pd-d1");
    halting.pd->registers[0xFC03] = 0xFF;  // the +2 wraps, and the value is put back
    TargetBench ready(halting, 4);
    ready.cycle.ToggleNeedPdCpuHalt();
    ready.timer2.SetEnabled(true);
    ready.cycle.HaltPollTick();
    std::vector<std::string> expected = {"FC 16 FFC0", "FC 16 FFC1", "FC 16 FC03", "FC 15 FC03=01",
                                         "FC 15 FFD3=C0"};
    expected.insert(expected.end(), 10, "FC 15 FE5A=3D");
    expected.emplace_back("FC 15 FC03=FF");
    expected.emplace_back("F3 20 07");
    EXPECT_EQ(ready.Transfers(), expected);
    EXPECT_FALSE(ready.timer2.IsEnabled());
    EXPECT_FALSE(ready.flags.pdCpuHaltPending);
    EXPECT_EQ(ready.panel.mainLog.back(), "===---> KQ023x CPU Halt <---===");
}

// The transfers of one first powered tick for a chip, over KBS unless a mode is given.
std::vector<std::string> EntryOf(std::array<uint8_t, 3> chipId, int mode = 1) {
    auto scenario = BenchScenario("default");
    scenario.ec->chipId = chipId;
    TargetBench bench(scenario, mode);
    bench.cycle.Tick();
    return bench.Transfers();
}

bool Sent(const std::vector<std::string>& transfers, const std::string& text) {
    return std::find(transfers.begin(), transfers.end(), text) != transfers.end();
}

TEST(ConnectionCheckKbs, ClockSwitchChipsEntryByEntry) {
    struct Case {
        uint8_t code, version;
        bool switches;
    };
    for (const Case& c : {Case{0x15, 0x48, true}, Case{0x15, 0x08, true}, Case{0xAB, 0x48, true},
                          Case{0xAB, 0x08, true}, Case{0x00, 0x0D, true}, Case{0xF5, 0x0D, true},
                          Case{0x16, 0x04, true}, Case{0x21, 0x04, true}, Case{0x04, 0x04, true},
                          Case{0xAB, 0x04, false}, Case{0x00, 0x04, false}, Case{0x16, 0x0D, false},
                          Case{0x21, 0x06, false}}) {
        SCOPED_TRACE("4C" + HexByte(c.code) + " version " + HexByte(c.version));
        const auto sent = EntryOf({0x4C, c.code, c.version});
        const auto at = std::find(sent.begin(), sent.end(), "F2 23 1063=00");
        ASSERT_NE(at, sent.end());
        EXPECT_EQ(std::next(at) != sent.end() && *std::next(at) == "F2 23 1036=10", c.switches);
        EXPECT_EQ(Sent(sent, "F2 23 1063=08"), c.switches);
        // The 4C21 version 06 register belongs to the SMBus entry only.
        EXPECT_FALSE(Sent(sent, "F2 23 2007=02"));
    }
}

TEST(ConnectionCheckKbs, Chips7702And7740ClearRegister16F7) {
    for (const uint8_t code : std::initializer_list<uint8_t>{0x02, 0x40, 0x58}) {
        SCOPED_TRACE(HexByte(code));
        const auto sent = EntryOf({0x77, code, 0x00});
        EXPECT_EQ(Sent(sent, "F2 23 16F7=00"), code != 0x58);
    }
}

TEST(ConnectionCheckKbs, TheLastImageIsReloadedOnlyForARomCodeChipWithARomKey) {
    struct Case {
        std::array<uint8_t, 3> chipId;
        int romKey;
        int reloads;
    };
    for (const Case& c : {Case{{0x11, 0x52, 0x00}, 1, 1}, Case{{0x11, 0x52, 0x00}, 0, 0},
                          Case{{0x84, 0x58, 0x00}, 1, 0}}) {
        SCOPED_TRACE(HexByte(c.chipId[0]) + HexByte(c.chipId[1]) + " RomKey " +
                     std::to_string(c.romKey));
        auto scenario = BenchScenario("default");
        scenario.ec->chipId = c.chipId;
        TargetBench bench(scenario, 1);
        bench.settings.WriteInt("RomKey", c.romKey);
        bench.cycle.Tick();
        EXPECT_EQ(bench.reloads, c.reloads);
        EXPECT_EQ(bench.Logged("Enable & Enter Rom Key"), c.reloads == 1);
    }
}

TEST(ConnectionCheckSmbus, ReentryWithBreakAt0ResetsAndPrompts) {
    TargetBench bench(BenchScenario("ec-smbus-romkey"), 2);
    bench.cycle.Tick();
    bench.Transfers();
    bench.cycle.ResetEc();
    const auto sent = bench.Transfers();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_THAT(std::vector(sent.begin(), sent.begin() + 3),
                ElementsAre("F3 23 2006=44", "F3 27 80", "F3 23 1063=00"));
    EXPECT_THAT(bench.Boxes(), ElementsAre(kReturnBox));
}

TEST(ConnectionCheckPd, PowerOffLeavesTheCcRegisterAloneWhenItsReadFails) {
    TargetBench bench(BenchScenario("pd-d1"), 4);
    bench.cycle.Tick();
    bench.Transfers();
    sim::FaultRule failRead;
    failRead.opcode = 0xF2;
    failRead.subCommand = 0x24;  // ReadTargetRegister
    bench.board.AddFault(failRead);
    bench.board.SetTargetPower(false);
    bench.panel.onMessage = [&](const RecordingPanel::Box&) { bench.board.SetTargetPower(true); };
    const uint8_t before = bench.board.Pd()->Register(0x1C34);
    bench.cycle.Tick();
    EXPECT_THAT(bench.Transfers(), ElementsAre("FC 01", "F3 20 07", "F3 20 00", "F3 20 03",
                                               "F2 24 1C34", "F2 24 1C34"));
    EXPECT_EQ(bench.board.Pd()->Register(0x1C34), before);
}

TEST(ConnectionCheck, AnUnpluggedTickDoesNotReadTheConnectMode) {
    TargetBench bench(BenchScenario("default"), 1);
    bench.settings.WriteText("ConnectMode", "broken");  // no longer an integer
    bench.link.ClearConnected();
    EXPECT_NO_THROW(bench.cycle.Tick());
    EXPECT_THAT(bench.Transfers(), IsEmpty());
    // The release for the Setup page needs the mode, and reads it.
    bench.flags.mainPageActive = false;
    EXPECT_ANY_THROW(bench.cycle.Tick());
}

}  // namespace
}  // namespace quillon
