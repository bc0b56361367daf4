// The board's own commands, its parameter record and the USB-PD commands, as the virtual
// board receives them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/board/board_fixture.h"

namespace quillon::test {
namespace {

constexpr std::size_t kRecordSize = BoardSideCommands::kRecordSize;

// The 32 record bytes as the board holds them.
std::vector<uint8_t> RecordIn(Bench& bench, uint32_t address) {
    const auto flash = bench.board.Flash(sim::FlashId::kBoard);
    return {flash.begin() + address, flash.begin() + address + kRecordSize};
}

// A record with distinct bytes, put in the board's flash as if written long ago.
std::vector<uint8_t> SeedRecord(Bench& bench, uint32_t address) {
    std::vector<uint8_t> record(kRecordSize);
    for (std::size_t i = 0; i < kRecordSize; ++i) {
        record[i] = static_cast<uint8_t>(0x40 + i);
    }
    std::copy(record.begin(), record.end(),
              bench.board.Flash(sim::FlashId::kBoard).begin() + address);
    return record;
}

std::vector<Header> SentHeaders(const Bench& bench, uint8_t subCommand) {
    std::vector<Header> headers;
    for (const auto& entry : bench.Trace()) {
        if (entry.header[1] == subCommand) {
            headers.push_back(entry.header);
        }
    }
    return headers;
}

// ---------------------------------------------------------------- board information

TEST(BoardFirmware, ReplyIsCopiedAndTheControllerKindKept) {
    sim::Scenario scenario = EcScenario(1);
    scenario.board.firmwareMajor = 0x03;
    scenario.board.firmwareMinor = 0x07;
    scenario.board.pinDefinitionKind = 2;
    Bench bench(scenario);
    ASSERT_TRUE(bench.bound);
    EXPECT_EQ(bench.boardSide.BoardControllerKind(), 0);
    EXPECT_EQ(bench.boardSide.RecordAddress(), 0x3FC00u);  // before any firmware read

    std::array<uint8_t, 4> info{};
    EXPECT_EQ(bench.boardSide.ReadBoardFirmware(info), 1);
    EXPECT_EQ(info, (std::array<uint8_t, 4>{0x03, 0x07, 0x01, 0x02}));
    EXPECT_EQ(bench.boardSide.BoardControllerKind(), 1);
    EXPECT_EQ(bench.boardSide.RecordAddress(), 0x1DC00u);
    EXPECT_EQ(bench.Sent()[0], 0xF0);
    EXPECT_EQ(bench.Sent()[1], 0x02);
    EXPECT_EQ(bench.Last().length, 4u);
}

TEST(BoardFirmware, AFailedReadKeepsTheKindAndTheCallersBytes) {
    Bench bench(EcScenario(1));
    ASSERT_TRUE(bench.bound);
    sim::FaultRule fail;
    fail.opcode = 0xF0;
    bench.board.AddFault(fail);
    std::array<uint8_t, 4> info{9, 9, 9, 9};
    EXPECT_EQ(bench.boardSide.ReadBoardFirmware(info), 0);
    EXPECT_EQ(info, (std::array<uint8_t, 4>{9, 9, 9, 9}));
    EXPECT_EQ(bench.boardSide.BoardControllerKind(), 0);
}

TEST(BoardPins, KbsPinDefinitionGoesOutAsFifteenBytes) {
    Bench bench;
    ASSERT_TRUE(bench.bound);
    const std::array<uint8_t, 15> pins = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 34};
    bench.settings.WriteInt("ConnectMode", 2);  // the board's commands ignore the mode
    EXPECT_EQ(bench.boardSide.SetKbsPinDefine(pins), 1);
    EXPECT_EQ(bench.Sent()[0], 0xF2);
    EXPECT_EQ(bench.Sent()[1], 0x05);
    EXPECT_EQ(bench.Last().data, std::vector<uint8_t>(pins.begin(), pins.end()));
    EXPECT_EQ(bench.board.KbsPinDefinition(), pins);
}

TEST(BoardPins, PinDefinitionIsReadFromTheRecordAddress) {
    Bench bench(EcScenario(2));
    ASSERT_TRUE(bench.bound);
    const auto record = SeedRecord(bench, 0x3FC00);
    std::array<uint8_t, 16> pins{};
    bench.MarkParameters();
    EXPECT_EQ(bench.boardSide.ReadBoardPinDefine(pins), 1);
    EXPECT_TRUE(SameHeader({0xF2, 0x1A, 0xA1, 0xA2, 0x03, 0xFC, 0x00, 0x10, 0xA7}, bench.Sent()));
    EXPECT_TRUE(std::equal(pins.begin(), pins.end(), record.begin()));
}

TEST(BoardPins, BoardFlashBlocksBeyondOneCountByteAndShortPdPagesAreRefused) {
    Bench bench(EcScenario(2));
    ASSERT_TRUE(bench.bound);
    SeedRecord(bench, 0x3FC00);
    std::vector<uint8_t> bytes(256, 0x5A);
    EXPECT_EQ(bench.boardSide.ReadBoardFlash(0x3FC00, bytes), 0);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0x5A; }));
    EXPECT_EQ(bench.boardSide.WriteBoardFlash(0x3FC00, bytes), 0);
    EXPECT_EQ(bench.boardSide.PdWritePage(0x80, 0, 0, std::span(bytes).first(255)), 0);
    EXPECT_TRUE(bench.Trace().empty());

    EXPECT_EQ(bench.boardSide.ReadBoardFlash(0x3FC00, std::span(bytes).first(255)), 1);
    EXPECT_EQ(bench.Sent()[7], 0xFF);
}

// ---------------------------------------------------------------- parameter record update

TEST(RecordUpdate, Kq11edBoardWritesTheRecordInOneCommand) {
    Bench bench(EcScenario(1));
    ASSERT_TRUE(bench.bound);
    std::array<uint8_t, 4> info{};
    ASSERT_EQ(bench.boardSide.ReadBoardFirmware(info), 1);
    const auto before = SeedRecord(bench, 0x1DC00);
    bench.board.ClearTrace();

    EXPECT_EQ(bench.boardSide.WriteBoardFileSize(0x23456), 1);
    const auto& trace = bench.Trace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_TRUE(SameHeader({0xF2, 0x1A, 0, 0, 0x01, 0xDC, 0x00, 0x20, 0}, trace[0].header));
    EXPECT_TRUE(SameHeader({0xF2, 0x1B, 0, 0, 0x01, 0xDC, 0x00, 0x20, 0}, trace[1].header));
    EXPECT_EQ(trace[1].length, 0u);
    EXPECT_EQ(trace[1].direction, 1u);
    EXPECT_TRUE(SameHeader({0xF2, 0x1C, 0, 0, 0x01, 0xDC, 0x00, 0x20, 0}, trace[2].header));
    EXPECT_EQ(trace[2].length, 32u);
    EXPECT_EQ(trace[3].header[1], 0x1A);

    auto expected = before;
    expected[20] = 0x56, expected[21] = 0x34, expected[22] = 0x02, expected[23] = 0x00;
    EXPECT_EQ(RecordIn(bench, 0x1DC00), expected);
    EXPECT_TRUE(bench.panel.mainLog.empty());
}

TEST(RecordUpdate, Kq775aBoardWritesTheRecordOneByteAtATime) {
    Bench bench(EcScenario(2));
    ASSERT_TRUE(bench.bound);
    std::array<uint8_t, 4> info{};
    ASSERT_EQ(bench.boardSide.ReadBoardFirmware(info), 1);
    const auto before = SeedRecord(bench, 0x3FC00);
    std::array<uint8_t, 16> pins{};
    for (std::size_t i = 0; i < 15; ++i) {
        pins[i] = static_cast<uint8_t>(i + 1);
    }

    EXPECT_EQ(bench.boardSide.WriteBoardPinDefine(pins), 1);
    const auto writes = SentHeaders(bench, 0x1C);
    ASSERT_EQ(writes.size(), 32u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i][4], 0x03) << i;
        EXPECT_EQ(writes[i][5], 0xFC) << i;
        EXPECT_EQ(writes[i][6], i) << i;
        EXPECT_EQ(writes[i][7], 1) << i;
    }
    auto expected = before;
    std::copy(pins.begin(), pins.end(), expected.begin());
    EXPECT_EQ(RecordIn(bench, 0x3FC00), expected);
}

TEST(RecordUpdate, FileSizeLeavesThePinDefinitionAndForeignBytes) {
    Bench bench(EcScenario(2));
    ASSERT_TRUE(bench.bound);
    const auto before = SeedRecord(bench, 0x3FC00);  // no firmware read: kind 0, 0x3FC00
    EXPECT_EQ(bench.boardSide.WriteBoardFileSize(0x23456), 1);
    const auto after = RecordIn(bench, 0x3FC00);
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 20, before.begin()));
    EXPECT_EQ((std::vector<uint8_t>(after.begin() + 20, after.begin() + 24)),
              (std::vector<uint8_t>{0x56, 0x34, 0x02, 0x00}));
    EXPECT_TRUE(std::equal(after.begin() + 24, after.end(), before.begin() + 24));
}

TEST(RecordUpdate, AReadBackThatDiffersIsReportedAndFails) {
    Bench bench(EcScenario(2));
    ASSERT_TRUE(bench.bound);
    sim::FaultRule stuck;
    stuck.kind = sim::FaultKind::kStuckBits;
    stuck.flash = sim::FlashId::kBoard;
    stuck.address = 0x3FC00 + 21;
    stuck.length = 1;
    stuck.bits = 0x80;
    bench.board.AddFault(stuck);
    EXPECT_EQ(bench.boardSide.WriteBoardFileSize(0x23456), 0);
    EXPECT_EQ(bench.panel.mainLog, (std::vector<std::string>{"Write FileSize to eFlash is FAIL!"}));

    stuck.address = 0x3FC00 + 3;
    bench.board.AddFault(stuck);
    std::array<uint8_t, 16> pins{};
    EXPECT_EQ(bench.boardSide.WriteBoardPinDefine(pins), 0);
    EXPECT_EQ(bench.panel.mainLog.back(), "Write PinDefine to eFlash is FAIL!");
}

TEST(RecordUpdate, NothingIsErasedWhenTheOldRecordCannotBeRead) {
    Bench bench(EcScenario(2));
    ASSERT_TRUE(bench.bound);
    const auto before = SeedRecord(bench, 0x3FC00);
    sim::FaultRule fail;
    fail.opcode = 0xF2;
    fail.subCommand = 0x1A;
    fail.times = 1;
    bench.board.AddFault(fail);
    EXPECT_EQ(bench.boardSide.WriteBoardFileSize(0x100), 0);
    EXPECT_TRUE(SentHeaders(bench, 0x1B).empty());
    EXPECT_TRUE(SentHeaders(bench, 0x1C).empty());
    EXPECT_EQ(RecordIn(bench, 0x3FC00), before);
    EXPECT_EQ(bench.panel.mainLog, (std::vector<std::string>{"Write FileSize to eFlash is FAIL!"}));
}

// ---------------------------------------------------------------- USB-PD commands

sim::Scenario PdScenario(std::array<uint8_t, 3> chipId,
                         std::array<uint8_t, 16> flashId = {0xFF, 0xFF, 0xFE}) {
    sim::Scenario scenario;
    sim::PdSpec pd;
    pd.chipId = chipId;
    pd.flashId = flashId;
    scenario.pd = pd;
    return scenario;
}

TEST(PdCommands, PageNumbersSitInTheirOwnBytesPerCommand) {
    Bench bench(PdScenario({0xD1, 0x08, 0x00}));
    ASSERT_TRUE(bench.bound);
    bench.settings.WriteText("ConnectMode", "4");  // unreadable: PD commands never ask
    std::array<uint8_t, 256> page{};

    bench.MarkParameters();
    bench.boardSide.PdEraseBlock(0x80, 3, 0x14);  // the KiB at byte offset 0x1400
    EXPECT_TRUE(SameHeader({0xFC, 0x02, 0x01, 0xA2, 0x00, 0x14, 0x80, 0x03, 0xA7}, bench.Sent()));
    EXPECT_EQ(bench.Last().length, 16u);
    EXPECT_EQ(bench.Last().direction, 1u);

    bench.MarkParameters();
    bench.boardSide.PdReadPage(0x80, 3, 0x0123, page);
    EXPECT_TRUE(SameHeader({0xFC, 0x03, 0x01, 0xA2, 0xA3, 0x23, 0x80, 0x03, 0xA7}, bench.Sent()));

    bench.MarkParameters();
    bench.boardSide.PdWritePage(0x80, 3, 0x0123, page);
    EXPECT_TRUE(SameHeader({0xFC, 0x04, 0xA1, 0x01, 0xA3, 0x23, 0x80, 0x03, 0xA7}, bench.Sent()));
    EXPECT_EQ(bench.Last().length, 256u);
    EXPECT_EQ(bench.Last().direction, 0u);
}

TEST(PdCommands, TestModeRegistersAndFlashPagesRoundTrip) {
    Bench bench(PdScenario({0xD1, 0x08, 0x00}));
    ASSERT_TRUE(bench.bound);
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(bench.boardSide.PdWriteRegister(0x80, 0xFE, 0x5A, 0x3D), 1);
    }
    EXPECT_TRUE(SameHeader({0xFC, 0x15, 0xFE, 0x5A, 0, 0, 0x80, 0, 0}, bench.Sent()));
    EXPECT_EQ(bench.Last().data, std::vector<uint8_t>{0x3D});
    uint8_t value = 0;
    EXPECT_EQ(bench.boardSide.PdReadRegister(0x80, 0xFE, 0x5A, value), 1);
    EXPECT_EQ(value, 0x3D);

    EXPECT_EQ(bench.boardSide.PdEnterTestMode(0x80), 1);
    EXPECT_EQ(bench.Sent()[1], 0x10);
    std::array<uint8_t, 256> page{};
    for (std::size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<uint8_t>(255 - i);
    }
    ASSERT_EQ(bench.boardSide.PdEraseBlock(0x80, 3, 4), 1);
    ASSERT_EQ(bench.boardSide.PdWritePage(0x80, 3, 5, page), 1);
    std::array<uint8_t, 256> back{};
    ASSERT_EQ(bench.boardSide.PdReadPage(0x80, 3, 5, back), 1);
    EXPECT_EQ(back, page);

    EXPECT_EQ(bench.boardSide.PdExitTestMode(0x80), 1);
    EXPECT_EQ(bench.Sent()[1], 0x11);
}

TEST(PdIdentity, FlashVariantFollowsTheRulesInOrder) {
    struct Case {
        std::array<uint8_t, 3> id;
        uint8_t variant;
    };
    for (const Case& c : std::vector<Case>{
             {{0x02, 0x32, 0x09}, 1},  // family 02, whatever follows
             {{0xD1, 0x10, 0x07}, 1},  // the second byte wins over the version rule
             {{0xD1, 0x07, 0x00}, 1},
             {{0xD1, 0x20, 0x85}, 2},  // 0x85 & 0x7F = 5
             {{0xD1, 0x08, 0x05}, 2},  // the version rule wins over 08 / 00
             {{0xD1, 0x08, 0x00}, 3},
             {{0xD1, 0x08, 0x01}, 0},
             {{0xD1, 0x20, 0x84}, 0},
             {{0x84, 0x10, 0x07}, 0},
         }) {
        EXPECT_EQ(BoardSideCommands::PdFlashVariantOf(c.id), c.variant)
            << HexByte(c.id[0]) << HexByte(c.id[1]) << HexByte(c.id[2]);
    }
}

TEST(PdIdentity, ChipIdFillsTheIdentityAndSucceedsOnlyForPdFamilies) {
    {
        Bench bench(PdScenario({0xD1, 0x20, 0x85}));
        ASSERT_TRUE(bench.bound);
        TargetIdentity identity;
        EXPECT_EQ(bench.boardSide.ReadPdChipId(0x80, identity), 1);
        EXPECT_EQ(identity.ChipCode(), "D120");
        EXPECT_EQ(identity.ChipVersion(), "85");
        EXPECT_EQ(identity.pdFlashVariant, 2);
        EXPECT_TRUE(SameHeader({0xFC, 0x00, 0, 0, 0, 0, 0x80, 0, 0}, bench.Sent()));
    }
    {
        Bench bench(PdScenario({0x84, 0x58, 0x00}));
        ASSERT_TRUE(bench.bound);
        TargetIdentity identity;
        identity.pdFlashVariant = 3;
        EXPECT_EQ(bench.boardSide.ReadPdChipId(0x80, identity), 0);
        EXPECT_EQ(identity.ChipCode(), "8458");
        EXPECT_EQ(identity.pdFlashVariant, 0);
    }
    {
        Bench bench(PdScenario({0xD1, 0x20, 0x85}));
        ASSERT_TRUE(bench.bound);
        TargetIdentity identity;
        identity.chipIdStrings[0] = "0";
        identity.pdFlashVariant = 3;
        EXPECT_EQ(bench.boardSide.ReadPdChipId(0x82, identity), 0);  // nobody at 0x82
        EXPECT_EQ(identity.ChipCode(), "0");
        EXPECT_EQ(identity.pdFlashVariant, 3);
    }
}

TEST(PdIdentity, A023EIsKeptAs115ELikeTheDebuggerReadDoes) {
    Bench bench(PdScenario({0x02, 0x3E, 0x07}));
    ASSERT_TRUE(bench.bound);
    TargetIdentity identity;
    EXPECT_EQ(bench.boardSide.ReadPdChipId(0x80, identity), 1);  // family 02 counts
    EXPECT_EQ(identity.ChipCode(), "115E");
    EXPECT_EQ(identity.ChipVersion(), "07");
    EXPECT_EQ(identity.pdFlashVariant, 1);  // decided on the bytes read, 02
}

TEST(PdIdentity, FlashIdMustReadFFFFFE) {
    Bench bench(PdScenario({0xD1, 0x08, 0x00}));
    ASSERT_TRUE(bench.bound);
    TargetIdentity identity;
    ASSERT_EQ(bench.boardSide.ReadPdChipId(0x80, identity), 1);
    EXPECT_EQ(bench.boardSide.ReadPdFlashId(0x80, identity), 1);
    EXPECT_TRUE(SameHeader({0xFC, 0x01, 0, 0, 0, 0, 0x80, 0x03, 0}, bench.Sent()));
    EXPECT_EQ(identity.chipIdStrings[4], "FF");
    EXPECT_EQ(identity.chipIdStrings[5], "FF");
    EXPECT_EQ(identity.chipIdStrings[6], "FE");
}

TEST(PdIdentity, A0232AnswersItsFlashIdOneByteLate) {
    const std::array<uint8_t, 16> late = {0x00, 0xFF, 0xFF, 0xFE};
    {
        Bench bench(PdScenario({0x02, 0x32, 0x00}, late));
        ASSERT_TRUE(bench.bound);
        TargetIdentity identity;
        ASSERT_EQ(bench.boardSide.ReadPdChipId(0x80, identity), 1);
        EXPECT_EQ(bench.boardSide.ReadPdFlashId(0x80, identity), 1);
        EXPECT_EQ(identity.chipIdStrings[4], "FF");
        EXPECT_EQ(identity.chipIdStrings[6], "FE");
    }
    {
        Bench bench(PdScenario({0x02, 0x33, 0x00}, late));
        ASSERT_TRUE(bench.bound);
        TargetIdentity identity;
        ASSERT_EQ(bench.boardSide.ReadPdChipId(0x80, identity), 1);
        EXPECT_EQ(bench.boardSide.ReadPdFlashId(0x80, identity), 0);
        EXPECT_EQ(identity.chipIdStrings[4], "00");
    }
}

}  // namespace
}  // namespace quillon::test
