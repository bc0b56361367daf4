// The target commands as the virtual board receives them: headers, data and replies.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "board/block_checksum.h"
#include "tests/board/board_fixture.h"

namespace quillon::test {
namespace {

std::vector<uint8_t> Pattern(std::size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + seed);
    }
    return bytes;
}

sim::FaultRule FailAlways(uint8_t opcode, uint8_t subCommand) {
    sim::FaultRule rule;
    rule.kind = sim::FaultKind::kFailTransfer;
    rule.opcode = opcode;
    rule.subCommand = subCommand;
    return rule;
}

// ---------------------------------------------------------------- connect-mode routing

struct Routed {
    const char* name;
    uint8_t subCommand;
    bool flash;  // one of the six flash sub-commands with a socket variant
    std::function<TransferResult(BoardCommands&)> send;
};

// The socket part's own flash sub-commands: 0x01..0x04 -> 0x11..0x14, 0x09 -> 0x15, 0x0A -> 0x16.
uint8_t SocketSubCommand(uint8_t base) {
    switch (base) {
        case 0x09:
            return 0x15;
        case 0x0A:
            return 0x16;
        default:
            return static_cast<uint8_t>(base + 0x10);
    }
}

std::vector<Routed> RoutedCommands() {
    static const std::vector<uint8_t> block = Pattern(kMaxTransferLength, 1);
    static const std::vector<uint8_t> key(8, 0x11);
    return {
        {"ReadChipId", 0x00, false,
         [](BoardCommands& c) {
             ChipIdStrings slots;
             return c.ReadChipId(slots);
         }},
        {"ReadFlashId", 0x01, true,
         [](BoardCommands& c) {
             ChipIdStrings slots;
             return c.ReadFlashId(slots, 0x00);
         }},
        {"ReadBlock", 0x02, true,
         [](BoardCommands& c) {
             std::vector<uint8_t> to(kMaxTransferLength);
             return c.ReadBlock(0, 0x00, to);
         }},
        {"EraseFlash", 0x03, true, [](BoardCommands& c) { return c.EraseFlash(0, 255, 2, 0); }},
        {"WriteBlock", 0x04, true,
         [](BoardCommands& c) { return c.WriteBlock(0, 0, 256, block, 0); }},
        {"SendTargetKey", 0x06, false,
         [](BoardCommands& c) { return c.SendTargetKey(TargetKeyKind::KeyMatch, 8, key); }},
        {"VerifyBlockChecksums", 0x07, false,
         [](BoardCommands& c) { return c.VerifyBlockChecksums(0, BlockChecksums(block)); }},
        {"QuickWriteBlock", 0x08, false,
         [](BoardCommands& c) { return c.QuickWriteBlock(0, 0, block); }},
        {"WriteFlashStatus", 0x09, true,
         [](BoardCommands& c) { return c.WriteFlashStatus(StatusWriteMode::ReadOnly, 0, 0); }},
        {"WritePage", 0x0A, true, [](BoardCommands& c) { return c.WritePage(0, 0, block, 0); }},
        {"WriteTargetRegister", 0x23, false,
         [](BoardCommands& c) { return c.WriteTargetRegister(0x10, 0x80, 0); }},
        {"ReadTargetRegister", 0x24, false,
         [](BoardCommands& c) {
             uint8_t value = 0;
             return c.ReadTargetRegister(0x10, 0x80, value);
         }},
        {"TargetRunControl", 0x27, false,
         [](BoardCommands& c) { return c.TargetRunControl(TargetRun::Run); }},
        {"DebugRegisterAccess", 0x2F, false,
         [](BoardCommands& c) {
             uint8_t value = 0;
             return c.DebugRegisterAccess(0, 0x1A, value);
         }},
    };
}

TEST(ConnectModeRouting, EachCommandTakesItsOpcodeAndSubCommandFromTheModeAtTheCall) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    for (int mode : {1, 2, 3, 4}) {
        bench.SetMode(mode);
        for (const Routed& command : RoutedCommands()) {
            const std::size_t before = bench.Trace().size();
            command.send(bench.commands);
            ASSERT_EQ(bench.Trace().size(), before + 1) << command.name << " in mode " << mode;
            const uint8_t opcode = mode == 2 ? 0xF3 : 0xF2;
            const uint8_t sub = mode == 3 && command.flash ? SocketSubCommand(command.subCommand)
                                                           : command.subCommand;
            EXPECT_EQ(bench.Sent()[0], opcode) << command.name << " in mode " << mode;
            EXPECT_EQ(bench.Sent()[1], sub) << command.name << " in mode " << mode;
        }
    }
}

TEST(ConnectModeRouting, PortControlOpcodesAreFixedInEveryMode) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    for (int mode : {1, 2, 3, 4}) {
        bench.SetMode(mode);
        bench.commands.KbsPortControl(10);
        EXPECT_TRUE(
            SameHeader({0xF2, 0x20, 10}, {bench.Sent()[0], bench.Sent()[1], bench.Sent()[2]}))
            << "mode " << mode;
        EXPECT_EQ(bench.Last().direction, 1u);
        EXPECT_EQ(bench.Last().length, 1u);
        bench.commands.SmbPortControl(11);
        EXPECT_TRUE(
            SameHeader({0xF3, 0x20, 11}, {bench.Sent()[0], bench.Sent()[1], bench.Sent()[2]}))
            << "mode " << mode;
    }
}

// ---------------------------------------------------------------- parameter bytes

struct Expected {
    const char* name;
    std::function<TransferResult(BoardCommands&)> send;
    Header header;  // A1..A7 mark bytes the command leaves as the previous command left them
    uint32_t direction;
    uint32_t length;
};

TEST(ParameterBytes, EachCommandSetsItsOwnBytesAndCarriesTheRest) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    const std::vector<uint8_t> block = Pattern(kMaxTransferLength, 3);
    const std::vector<uint8_t> key = {1, 2, 3, 4, 5, 6, 7, 8};
    bench.settings.WriteInt("SwitchRom", 1);
    const std::vector<Expected> table = {
        {"KbsPortControl",
         [](BoardCommands& c) { return c.KbsPortControl(0x05); },
         {0xF2, 0x20, 0x05, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7},
         1,
         1},
        {"ReadChipId",
         [](BoardCommands& c) {
             ChipIdStrings s;
             return c.ReadChipId(s);
         },
         {0xF2, 0x00, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7},
         1,
         3},
        {"ReadFlashId",
         [](BoardCommands& c) {
             ChipIdStrings s;
             return c.ReadFlashId(s, 0x9F);
         },
         {0xF2, 0x01, 0x9F, 0xA2, 0xA3, 0xA4, 0xA5, 0x01, 0xA7},
         1,
         5},
        {"ReadFlashId 16",
         [](BoardCommands& c) {
             ChipIdStrings s;
             return c.ReadFlashId(s, 16);
         },
         {0xF2, 0x01, 0x10, 0xA2, 0xA3, 0xA4, 0xA5, 0x01, 0xA7},
         1,
         16},
        {"ReadBlock",
         [](BoardCommands& c) {
             std::vector<uint8_t> to(65536);
             return c.ReadBlock(0x0102, 0x80, to);
         },
         {0xF2, 0x02, 0x02, 0x80, 0xA3, 0xA4, 0x01, 0x01, 0xA7},
         1,
         65536},
        {"EraseFlash sector",
         [](BoardCommands& c) { return c.EraseFlash(0x0203, 15, 1, 0x04); },
         {0xF2, 0x03, 0x01, 0x04, 0x03, 0x0F, 0x02, 0x01, 0xA7},
         0,
         1},
        {"EraseFlash chip",
         [](BoardCommands& c) { return c.EraseFlash(64, 0x10, 0, 0x00); },
         {0xF2, 0x03, 0x00, 0x00, 0x40, 0x10, 0x00, 0x01, 0xA7},
         0,
         1},
        {"WriteBlock",
         [&block](BoardCommands& c) { return c.WriteBlock(0x0102, 0x03, 4096, block, 0x40); },
         {0xF2, 0x04, 0x03, 0x02, 0x40, 0xA4, 0x01, 0x01, 0xA7},
         0,
         4096},
        {"SendTargetKey",
         [&key](BoardCommands& c) { return c.SendTargetKey(TargetKeyKind::RomKey, 8, key); },
         {0xF2, 0x06, 0x02, 0x08, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7},
         0,
         8},
        {"VerifyBlockChecksums",
         [&block](BoardCommands& c) {
             return c.VerifyBlockChecksums(0x0102, BlockChecksums(block));
         },
         {0xF2, 0x07, 0xA1, 0x02, 0xA3, 0xA4, 0x01, 0xA6, 0xA7},
         0,
         128},
        {"QuickWriteBlock",
         [&block](BoardCommands& c) { return c.QuickWriteBlock(0x0102, 0x02, block); },
         {0xF2, 0x08, 0xA1, 0x02, 0x02, 0xA4, 0x01, 0xA6, 0xA7},
         0,
         65536},
        {"WriteFlashStatus",
         [](BoardCommands& c) {
             return c.WriteFlashStatus(StatusWriteMode::TwoBytesContinuous, 0x1C, 0x02);
         },
         {0xF2, 0x09, 0x82, 0x1C, 0x02, 0xA4, 0xA5, 0xA6, 0xA7},
         1,
         0x82},
        {"WritePage",
         [&block](BoardCommands& c) { return c.WritePage(0x0102, 0x7F, block, 0x20); },
         {0xF2, 0x0A, 0xA1, 0x20, 0x02, 0x7F, 0x01, 0xA6, 0xA7},
         0,
         256},
        {"WriteTargetRegister",
         [](BoardCommands& c) { return c.WriteTargetRegister(0x10, 0x80, 0x5A); },
         {0xF2, 0x23, 0x10, 0x80, 0xA3, 0xA4, 0xA5, 0xA6, 0xF0},
         0,
         1},
        {"ReadTargetRegister",
         [](BoardCommands& c) {
             uint8_t v = 0;
             return c.ReadTargetRegister(0x20, 0x03, v);
         },
         {0xF2, 0x24, 0x20, 0x03, 0xA3, 0xA4, 0xA5, 0xA6, 0xF0},
         1,
         1},
        {"TargetRunControl",
         [](BoardCommands& c) { return c.TargetRunControl(TargetRun::BreakAtZero); },
         {0xF2, 0x27, 0x81, 0x00, 0x00, 0xA4, 0xA5, 0xA6, 0xA7},
         0,
         1},
        {"DebugRegisterAccess",
         [](BoardCommands& c) {
             uint8_t v = 4;
             return c.DebugRegisterAccess(1, 0x1A, v);
         },
         {0xF2, 0x2F, 0x01, 0x1A, 0x04, 0xA4, 0xA5, 0xA6, 0xA7},
         1,
         4},
    };
    for (const Expected& expected : table) {
        bench.MarkParameters();
        expected.send(bench.commands);
        EXPECT_TRUE(SameHeader(expected.header, bench.Sent())) << expected.name;
        EXPECT_EQ(bench.Last().direction, expected.direction) << expected.name;
        EXPECT_EQ(bench.Last().length, expected.length) << expected.name;
    }
}

TEST(ParameterBytes, ACommandSendsWhatThePreviousOneLeftInItsUnsetBytes) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    std::vector<uint8_t> block(kMaxTransferLength);
    bench.commands.ReadBlock(0x0102, 0x00, block);
    bench.commands.KbsPortControl(2);
    EXPECT_TRUE(SameHeader({0xF2, 0x20, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}, bench.Sent()));
    bench.commands.WriteTargetRegister(0x10, 0x80, 1);
    ChipIdStrings slots;
    bench.commands.ReadChipId(slots);
    EXPECT_TRUE(SameHeader({0xF2, 0x00, 0x10, 0x80, 0x00, 0x00, 0x01, 0x00, 0xF0}, bench.Sent()));
}

TEST(ParameterBytes, BytesOfNoMeaningAndDataBlocksReachTheBoardAsGiven) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    const std::vector<uint8_t> key = {9, 8, 7, 6, 5, 4, 3, 2};
    bench.commands.SendTargetKey(TargetKeyKind::KeyMatch, 8, key);
    EXPECT_EQ(bench.Last().data, key);
    bench.commands.WriteTargetRegister(0x10, 0x80, 0x5A);
    EXPECT_EQ(bench.Last().data, std::vector<uint8_t>{0x5A});
    const std::vector<uint8_t> block = Pattern(kMaxTransferLength, 9);
    bench.commands.WriteBlock(0, 0, 1000, block, 0);
    EXPECT_EQ(bench.Last().length, 1000u);
    EXPECT_EQ(bench.Last().digest, sim::Digest(std::span(block).first(1000)));
    const auto sums = BlockChecksums(block);
    bench.commands.VerifyBlockChecksums(0, sums);
    EXPECT_EQ(bench.Last().digest, sim::Digest(sums));
}

// ---------------------------------------------------------------- flash data through the board

TEST(FlashData, ABlockWrittenReadsBackAndVerifies) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    const std::vector<uint8_t> block = Pattern(kMaxTransferLength, 5);
    ASSERT_EQ(bench.commands.EraseFlash(1, 255, 2, 0), 1);
    ASSERT_EQ(bench.commands.WriteBlock(1, 0, kMaxTransferLength, block, 0), 1);
    std::vector<uint8_t> back(kMaxTransferLength);
    ASSERT_EQ(bench.commands.ReadBlock(1, 0, back), 1);
    EXPECT_EQ(back, block);
    EXPECT_EQ(bench.commands.VerifyBlockChecksums(1, BlockChecksums(block)), 1);
    std::vector<uint8_t> other = block;
    other[4000] ^= 0x01;
    EXPECT_EQ(bench.commands.VerifyBlockChecksums(1, BlockChecksums(other)), 0);
}

TEST(FlashData, AFailedReadLeavesTheCallersBufferAlone) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    bench.board.AddFault(FailAlways(0xF2, 0x02));
    std::vector<uint8_t> destination(kMaxTransferLength, 0x5C);
    EXPECT_EQ(bench.commands.ReadBlock(0, 0, destination), 0);
    EXPECT_TRUE(
        std::all_of(destination.begin(), destination.end(), [](uint8_t b) { return b == 0x5C; }));
}

TEST(FlashData, ABlockLongerThan65536IsRefusedWithTheSizeBox) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    const std::vector<uint8_t> block(kMaxTransferLength + 1, 0);
    EXPECT_EQ(bench.commands.WriteBlock(0, 0, kMaxTransferLength + 1, block, 0), 0);
    EXPECT_TRUE(bench.Trace().empty());
    ASSERT_EQ(bench.panel.boxes.size(), 1u);
    EXPECT_EQ(bench.panel.boxes[0].text, "The size can not be more 65536 bytes!");
}

TEST(FlashData, AShortSourceIsRefusedRatherThanPaddedWithAnEarlierCommandsBytes) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    const std::vector<uint8_t> block = Pattern(kMaxTransferLength, 4);
    ASSERT_EQ(bench.commands.WritePage(0, 0, block, 0), 1);  // leaves a full page in scratch
    ASSERT_EQ(bench.commands.WriteBlock(0, 0, kMaxTransferLength, block, 0), 1);
    ASSERT_EQ(bench.commands.QuickWriteBlock(0, 0, block), 1);
    bench.board.ClearTrace();
    const auto shortBy = [&block](std::size_t size) { return std::span(block).first(size - 1); };

    EXPECT_EQ(bench.commands.WritePage(0, 1, shortBy(256), 0), 0);
    EXPECT_EQ(bench.commands.WriteBlock(1, 0, 4096, shortBy(4096), 0), 0);
    EXPECT_EQ(bench.commands.QuickWriteBlock(1, 0, shortBy(kMaxTransferLength)), 0);
    EXPECT_EQ(bench.commands.VerifyBlockChecksums(1, shortBy(128)), 0);
    EXPECT_EQ(bench.commands.SendTargetKey(TargetKeyKind::KeyMatch, 8, shortBy(8)), 0);
    EXPECT_TRUE(bench.Trace().empty());
}

TEST(FlashData, WithoutABoardEveryCommandFailsQuietly) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    bench.link.Unbind();
    for (const Routed& command : RoutedCommands()) {
        EXPECT_EQ(command.send(bench.commands), 0) << command.name;
    }
    EXPECT_TRUE(bench.Trace().empty());
    EXPECT_TRUE(bench.panel.boxes.empty());
    EXPECT_TRUE(bench.panel.mainLog.empty());
}

// ---------------------------------------------------------------- chip ID

sim::Scenario ChipScenario(std::array<uint8_t, 3> chipId) {
    sim::Scenario scenario = EcScenario();
    scenario.ec->chipId = chipId;
    return scenario;
}

TEST(ReadChipId, KnownFamilyFillsTheSlotsAndSucceeds) {
    Bench bench(ChipScenario({0x84, 0x58, 0x01}));
    ASSERT_TRUE(bench.bound);
    ChipIdStrings slots;
    EXPECT_EQ(bench.commands.ReadChipId(slots), 1);
    EXPECT_EQ(slots[0], "8458");
    EXPECT_EQ(slots[1], "01");
}

TEST(ReadChipId, UnknownFamilyFailsButTheSlotsShowTheCode) {
    Bench bench(ChipScenario({0x00, 0x12, 0xA0}));
    ASSERT_TRUE(bench.bound);
    ChipIdStrings slots;
    EXPECT_EQ(bench.commands.ReadChipId(slots), 0);
    EXPECT_EQ(slots[0], "0012");
    EXPECT_EQ(slots[1], "A0");
}

TEST(ReadChipId, Code023EIsShownAs115E) {
    Bench bench(ChipScenario({0x02, 0x3E, 0x00}));
    ASSERT_TRUE(bench.bound);
    ChipIdStrings slots;
    EXPECT_EQ(bench.commands.ReadChipId(slots), 1);
    EXPECT_EQ(slots[0], "115E");
}

TEST(ReadChipId, Timer1StopsForTheReadAndAlwaysRunsAfterwards) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    ChipIdStrings slots;
    bench.timer1.SetEnabled(false);  // a caller that had stopped it
    bench.timer1.changes.clear();
    bench.commands.ReadChipId(slots);
    EXPECT_EQ(bench.timer1.changes, (std::vector<bool>{false, true}));

    bench.link.Unbind();  // no board: nothing changes, the timer still restarts
    slots[0] = "0";
    bench.timer1.changes.clear();
    EXPECT_EQ(bench.commands.ReadChipId(slots), 0);
    EXPECT_EQ(slots[0], "0");
    EXPECT_EQ(bench.timer1.changes, (std::vector<bool>{false, true}));
}

TEST(ReadChipId, ASettingsErrorEndsTheReadWithTimer1Stopped) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    bench.timer1.SetEnabled(true);
    bench.board.ClearTrace();
    ChipIdStrings slots;
    slots[0] = "0";
    bench.settings.WriteText("ConnectMode", "1");  // wrong type: the read throws
    EXPECT_THROW(bench.commands.ReadChipId(slots), SettingsError);
    EXPECT_FALSE(bench.timer1.IsEnabled());  // no tick raises the same box again
    EXPECT_TRUE(bench.board.Trace().empty());
    EXPECT_EQ(slots[0], "0");
}

// ---------------------------------------------------------------- flash ID and status

TEST(ReadFlashId, FiveBytesFillSlotsTwoToSix) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    ChipIdStrings slots;
    EXPECT_EQ(bench.commands.ReadFlashId(slots, 0x00), 1);
    // W25Q32FV: JEDEC EF 40 16, older ID EF 15.
    EXPECT_EQ(slots[4], "EF");
    EXPECT_EQ(slots[5], "40");
    EXPECT_EQ(slots[6], "16");
    EXPECT_EQ(slots[2], "EF");
    EXPECT_EQ(slots[3], "15");
    EXPECT_EQ(slots[0], "");
}

TEST(ReadFlashId, SixteenBytesAreLoggedAsOneLineAndTheSlotsKept) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    ChipIdStrings slots;
    slots[4] = "C8";
    EXPECT_EQ(bench.commands.ReadFlashId(slots, 16), 1);
    ASSERT_EQ(bench.panel.mainLog.size(), 1u);
    const std::string& line = bench.panel.mainLog[0];
    EXPECT_EQ(line.size(), 48u);
    EXPECT_EQ(line.substr(0, 9), "EF 40 16 ");
    EXPECT_EQ(line.back(), ' ');
    EXPECT_EQ(slots[4], "C8");
}

TEST(ReadFlashId, AFailedReadChangesNothingAndLogsNothing) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    bench.board.AddFault(FailAlways(0xF2, 0x01));
    ChipIdStrings slots;
    slots[4] = "C8";
    EXPECT_EQ(bench.commands.ReadFlashId(slots, 0x00), 0);
    EXPECT_EQ(bench.commands.ReadFlashId(slots, 16), 0);
    EXPECT_EQ(slots[4], "C8");
    EXPECT_TRUE(bench.panel.mainLog.empty());
}

TEST(WriteFlashStatus, LogsOneOrTwoRegistersByModeAndNothingOnFailure) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    EXPECT_EQ(bench.commands.WriteFlashStatus(StatusWriteMode::OneByte, 0x00, 0x00), 1);
    EXPECT_EQ(bench.panel.mainLog, (std::vector<std::string>{"Flash Status Register(0x05):00"}));
    bench.panel.mainLog.clear();

    std::array<uint8_t, 2> status{};
    EXPECT_EQ(bench.commands.WriteFlashStatus(StatusWriteMode::TwoBytes, 0x00, 0x02, status), 1);
    EXPECT_EQ(bench.panel.mainLog,
              (std::vector<std::string>{"Flash Status Register(0x05):00",
                                        "Flash Status Register(0x35):" + HexByte(status[1])}));
    EXPECT_EQ(status[1] & 0x02, 0x02);  // QE as written
    EXPECT_EQ(bench.Last().length, 2u);
    bench.panel.mainLog.clear();

    EXPECT_EQ(bench.commands.WriteFlashStatus(StatusWriteMode::ReadOnly, 0, 0), 1);
    EXPECT_EQ(bench.Last().length, 255u);
    EXPECT_EQ(bench.panel.mainLog.size(), 2u);
    bench.panel.mainLog.clear();

    bench.board.AddFault(FailAlways(0xF2, 0x09));
    EXPECT_EQ(bench.commands.WriteFlashStatus(StatusWriteMode::TwoBytes, 0, 0), 0);
    EXPECT_TRUE(bench.panel.mainLog.empty());
}

TEST(TargetRegisters, ValuesCrossInBothDirections) {
    sim::Scenario scenario = EcScenario();
    scenario.ec->registers[0x1080] = 0x3C;
    Bench bench(scenario);
    ASSERT_TRUE(bench.bound);
    uint8_t value = 0;
    EXPECT_EQ(bench.commands.ReadTargetRegister(0x10, 0x80, value), 1);
    EXPECT_EQ(value, 0x3C);
    uint8_t quick = 4;
    EXPECT_EQ(bench.commands.DebugRegisterAccess(1, 0x1A, quick), 1);
    quick = 0;
    EXPECT_EQ(bench.commands.DebugRegisterAccess(0, 0x1A, quick), 1);
    EXPECT_EQ(quick, 0x04);
}

}  // namespace
}  // namespace quillon::test
