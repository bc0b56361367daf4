#include "sim/scenario_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "sim/virtual_board.h"

namespace quillon::sim {
namespace {

std::string ErrorOf(const std::string& text) {
    try {
        ParseScenario(text, "bench.ini");
    } catch (const ScenarioError& error) {
        return error.what();
    }
    return "no error";
}

TEST(ScenarioFile, ReadsTheLyingAndStaleFaultKinds) {
    const Scenario scenario = ParseScenario(R"(
[socket]
part = W25Q32FV
[fault]
kind = erase_lie
unit = 2
[fault]
kind = partial_write
bytes = 4K
times = 1
[fault]
kind = stale_read
rate = 0.25
)",
                                            "bench.ini");
    ASSERT_EQ(scenario.faults.size(), 3u);
    EXPECT_EQ(scenario.faults[0].kind, FaultKind::kEraseLie);
    EXPECT_EQ(scenario.faults[0].unit, 2u);
    EXPECT_EQ(scenario.faults[1].kind, FaultKind::kPartialWrite);
    EXPECT_EQ(scenario.faults[1].bytes, 4096u);
    EXPECT_EQ(scenario.faults[2].kind, FaultKind::kStaleRead);
    EXPECT_DOUBLE_EQ(scenario.faults[2].rate, 0.25);
    EXPECT_EQ(ErrorOf("[socket]\npart = W25Q32FV\n[fault]\nkind = partial_write\nbytes = 70000\n")
                  .substr(0, 12),
              "bench.ini:5:");
}

TEST(ScenarioFile, ReadsEverySection) {
    const Scenario scenario = ParseScenario(R"(
; comment
[scenario]
name = bench
powered = no
seed = 42
[board]
firmware = 03.0A
controller_kind = 2
stored_file_size = 0x23456
[ec]
chip_id = 11 ED 07
link = smbus
eflash_size = 192K
external_part = w25q32fv
register.2005 = 40
match_key = 01 02 03 04 05 06 07 08
[pd]
chip_id = 02 32 80
flash_size = 128K
[socket]
part = MX25L6406E
[timing]
usb_round_trip_us = 2000
[fault]
kind = fail_transfer
opcode = F2
sub = 02
unit = 3
times = 2
[fault]
kind = power_loss
after = 10
)",
                                            "bench.ini");
    EXPECT_EQ(scenario.name, "bench");
    EXPECT_FALSE(scenario.targetPowered);
    EXPECT_EQ(scenario.faultSeed, 42u);
    EXPECT_EQ(scenario.board.firmwareMinor, 0x0A);
    EXPECT_EQ(scenario.board.storedFileSize, 0x23456u);
    ASSERT_TRUE(scenario.ec);
    EXPECT_EQ(scenario.ec->chipId[1], 0xED);
    EXPECT_EQ(scenario.ec->link, EcLink::kSmbus);
    EXPECT_EQ(scenario.ec->eflashSize, 192u * 1024);
    EXPECT_EQ(scenario.ec->registers.at(0x2005), 0x40);
    ASSERT_TRUE(scenario.ec->matchKey);
    EXPECT_EQ((*scenario.ec->matchKey)[7], 0x08);
    ASSERT_TRUE(scenario.pd);
    EXPECT_EQ(scenario.pd->flashSize, 128u * 1024);
    EXPECT_EQ(scenario.socketPart, "MX25L6406E");
    EXPECT_EQ(scenario.timing.usbRoundTripUs, 2000u);
    ASSERT_EQ(scenario.faults.size(), 2u);
    EXPECT_EQ(scenario.faults[0].unit, 3u);
    EXPECT_EQ(scenario.faults[0].times, 2u);
    EXPECT_EQ(scenario.faults[1].kind, FaultKind::kPowerLoss);
    EXPECT_EQ(scenario.faults[1].afterTransfers, 10u);
}

TEST(ScenarioFile, RefusesMalformedInputNamingFileLineAndReason) {
    EXPECT_EQ(ErrorOf("[ec]\nchipid = 84 58 01\n"), "bench.ini:2: unknown key 'chipid' in [ec]");
    EXPECT_EQ(ErrorOf("[ec]\nchip_id = 84 58\n"), "bench.ini:2: expected 3 hex bytes");
    EXPECT_EQ(ErrorOf("[ec]\nchip_id = 84 5G 01\n"), "bench.ini:2: '5G' is not a hex byte");
    EXPECT_EQ(ErrorOf("\n\n[ecc]\n"), "bench.ini:3: unknown section [ecc]");
    EXPECT_EQ(ErrorOf("[ec]\nlink = kbs\nlink = smbus\n"),
              "bench.ini:3: key 'link' appears twice in [ec]");
    EXPECT_EQ(ErrorOf("[ec]\n[ec]\n"), "bench.ini:2: section [ec] appears twice");
    EXPECT_EQ(ErrorOf("[ec]\nexternal_part = W99Q\n"), "bench.ini:2: unknown SPI part 'W99Q'");
    EXPECT_EQ(ErrorOf("[ec]\neflash_size = 64Q\n"), "bench.ini:2: '64Q' is not a number");
    EXPECT_EQ(ErrorOf("[ec]\neflash_size = 99M\n"),
              "bench.ini:2: '99M' is too large (at most 16777216)");
    EXPECT_EQ(ErrorOf("[ec]\nlink\n"), "bench.ini:2: expected key = value");
    EXPECT_EQ(ErrorOf("name = x\n"), "bench.ini:1: key outside a section");
    EXPECT_EQ(ErrorOf("[ec]\nlink =\n"), "bench.ini:2: key 'link' has no value");
    EXPECT_EQ(ErrorOf("[ec\n"), "bench.ini:1: section header without ']'");
    EXPECT_EQ(ErrorOf("[ec]\nregister.12345 = 00\n"),
              "bench.ini:2: register address '12345' is not 1 to 4 hex digits");
    EXPECT_EQ(ErrorOf("[ec]\n[fault]\nopcode = F2\n"), "bench.ini:2: [fault] needs a kind");
    EXPECT_EQ(ErrorOf("[ec]\n[fault]\nkind = melt\n"), "bench.ini:3: unknown fault kind 'melt'");
    EXPECT_EQ(ErrorOf("[ec]\n[fault]\nkind = fail_transfer\nrate = 1.5\n"),
              "bench.ini:4: '1.5' is not a rate between 0 and 1");
    EXPECT_EQ(ErrorOf("[scenario]\nname = empty\n"),
              "bench.ini: nothing fitted: the scenario needs [ec], [pd] or [socket]");
}

TEST(ScenarioFile, AMissingFileIsNamed) {
    try {
        LoadScenarioFile("/nonexistent/bench.ini");
        FAIL() << "no error";
    } catch (const ScenarioError& error) {
        EXPECT_STREQ(error.what(), "/nonexistent/bench.ini: cannot be read");
    }
}

TEST(ScenarioFile, FaultRulesFromKeyValuePairs) {
    const FaultRule rule =
        ParseFaultRule({{"kind", "stuck_bits"}, {"flash", "socket"}, {"bits", "81"}}, "fault");
    EXPECT_EQ(rule.kind, FaultKind::kStuckBits);
    EXPECT_EQ(rule.flash, FlashId::kSocket);
    EXPECT_EQ(rule.bits, 0x81);
    EXPECT_THROW(ParseFaultRule({{"flash", "socket"}}, "fault"), ScenarioError);
    EXPECT_THROW(ParseFaultRule({{"kind", "unplug"}, {"after", "-1"}}, "fault"), ScenarioError);
}

TEST(ShippedScenarios, EveryFileParsesAndBuildsABoardThatAnswers) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLON_TEST_SCENARIO_DIR)) {
        if (entry.path().extension() != ".ini") {
            continue;
        }
        ++count;
        SCOPED_TRACE(entry.path().string());
        VirtualBoard board(LoadScenarioFile(entry.path()));
        ASSERT_EQ(board.Connect(), 0);
        uint8_t firmware[4] = {};
        const uint8_t header[9] = {0xF0, 0x02};
        EXPECT_EQ(board.Read(header, 4, firmware), 1);
        EXPECT_TRUE(board.HasFlash(FlashId::kEFlash) || board.HasFlash(FlashId::kExternalSpi) ||
                    board.HasFlash(FlashId::kSocket) || board.HasFlash(FlashId::kPd));
    }
    EXPECT_GE(count, 9);
}

}  // namespace
}  // namespace quillon::sim
