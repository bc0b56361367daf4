#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sim/virtual_board.h"
#include "tests/sim/board_fixture.h"

namespace quillon::sim::test {
namespace {

const Header kReadBlock3 = Cmd(0xF2, 0x02, 0x03);
const Header kReadBlock4 = Cmd(0xF2, 0x02, 0x04);

class FaultTest : public ::testing::Test {
protected:
    FaultTest() : board_(EcScenario()) { board_.Connect(); }
    uint8_t ReadResult(const Header& header) {
        uint8_t result = 0;
        ReadFrom(board_, header, 65536, &result);
        return result;
    }
    VirtualBoard board_;
};

TEST_F(FaultTest, AFailureNTimesFailsExactlyThoseTransfersOfTheNamedBlock) {
    FaultRule rule;
    rule.opcode = 0xF2;
    rule.subCommand = 0x02;
    rule.unit = 3;
    rule.times = 2;
    board_.AddFault(rule);
    EXPECT_EQ(ReadResult(kReadBlock4), 1);
    EXPECT_EQ(ReadResult(kReadBlock3), 0);
    EXPECT_EQ(ReadResult(kReadBlock3), 0);
    EXPECT_EQ(ReadResult(kReadBlock3), 1);
    EXPECT_EQ(board_.Stats().failedTransfers, 2u);
    EXPECT_EQ(board_.Trace()[1].result, 0);  // the failures are in the trace
}

TEST_F(FaultTest, AFailureWithoutCountFailsEveryTime) {
    FaultRule rule;
    rule.subCommand = 0x00;
    board_.AddFault(rule);
    uint8_t result = 9;
    for (int i = 0; i < 5; ++i) {
        ReadFrom(board_, Cmd(0xF3, 0x00), 3, &result);
        EXPECT_EQ(result, 0);
    }
    board_.ClearFaults();
    ReadFrom(board_, Cmd(0xF3, 0x00), 3, &result);
    EXPECT_EQ(result, 1);
}

TEST_F(FaultTest, AFailureRateIsRepeatableForTheSameSeed) {
    auto pattern = [](uint64_t seed) {
        VirtualBoard board(EcScenario());
        board.Connect();
        board.SeedFaults(seed);
        FaultRule rule;
        rule.rate = 0.3;
        board.AddFault(rule);
        std::string results;
        for (int i = 0; i < 200; ++i) {
            uint8_t result = 0;
            ReadFrom(board, Cmd(0xF2, 0x00), 3, &result);
            results += static_cast<char>('0' + result);
        }
        return results;
    };
    const std::string first = pattern(7);
    EXPECT_EQ(first, pattern(7));
    EXPECT_NE(first, pattern(8));
    const auto failures = std::count(first.begin(), first.end(), '0');
    EXPECT_GT(failures, 30);
    EXPECT_LT(failures, 90);
}

TEST_F(FaultTest, UnstableBytesReadDifferentlyInsideTheirRangeOnly) {
    FaultRule rule;
    rule.kind = FaultKind::kUnstableRead;
    rule.flash = FlashId::kExternalSpi;
    rule.address = 0x30010;
    rule.length = 4;
    rule.rate = 1.0;
    board_.AddFault(rule);
    const auto first = ReadFrom(board_, kReadBlock3, 65536);
    EXPECT_EQ(first[0x0F], 0xFF);
    EXPECT_EQ(first[0x14], 0xFF);
    for (int i = 0x10; i < 0x14; ++i) {
        EXPECT_NE(first[i], 0xFF) << i;  // one bit flipped in every byte at rate 1
    }
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x30010], 0xFF);  // the cells are intact
    EXPECT_EQ(ReadFrom(board_, kReadBlock4, 65536)[0x10], 0xFF);
}

TEST_F(FaultTest, StuckBitsRefuseToProgram) {
    FaultRule rule;
    rule.kind = FaultKind::kStuckBits;
    rule.flash = FlashId::kExternalSpi;
    rule.address = 0x20005;
    rule.bits = 0x81;
    board_.AddFault(rule);
    ASSERT_EQ(WriteTo(board_, Cmd(0xF2, 0x04, 0, 0x02, 0, 0, 0), std::vector<uint8_t>(256, 0)), 1);
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x20004], 0x00);
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x20005], 0x81);
}

TEST_F(FaultTest, AWriteLieReportsSuccessAndWritesNothing) {
    FaultRule rule;
    rule.kind = FaultKind::kWriteLie;
    rule.unit = 2;
    board_.AddFault(rule);
    const std::vector<uint8_t> data(256, 0x00);
    EXPECT_EQ(WriteTo(board_, Cmd(0xF2, 0x04, 0, 0x02, 0, 0, 0), data), 1);
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x20000], 0xFF);
    EXPECT_EQ(WriteTo(board_, Cmd(0xF2, 0x04, 0, 0x01, 0, 0, 0), data), 1);
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x10000], 0x00);
}

TEST_F(FaultTest, PowerIsLostAfterTheGivenNumberOfTransfers) {
    FaultRule rule;
    rule.kind = FaultKind::kPowerLoss;
    rule.afterTransfers = 2;
    board_.AddFault(rule);
    EXPECT_EQ(ReadResult(kReadBlock3), 1);
    EXPECT_EQ(ReadResult(kReadBlock3), 1);
    EXPECT_FALSE(board_.TargetPowered());
    EXPECT_EQ(ReadResult(kReadBlock3), 0);
    board_.SetTargetPower(true);
    EXPECT_EQ(ReadResult(kReadBlock3), 1);  // the event happens once
}

TEST_F(FaultTest, ATornPowerLossCutsTheProgramInFlightAndFailsIt) {
    FaultRule rule;
    rule.kind = FaultKind::kPowerLoss;
    rule.afterTransfers = 1;
    rule.bytes = 10;
    board_.AddFault(rule);
    const std::vector<uint8_t> data(256, 0x00);
    EXPECT_EQ(WriteTo(board_, Cmd(0xF2, 0x04, 0, 0x01, 0, 0, 0), data), 1);
    EXPECT_TRUE(board_.TargetPowered());
    EXPECT_EQ(WriteTo(board_, Cmd(0xF2, 0x04, 0, 0x02, 0, 0, 0), data), 0);
    EXPECT_FALSE(board_.TargetPowered());
    const std::span<uint8_t> flash = board_.Flash(FlashId::kExternalSpi);
    EXPECT_EQ(flash[0x20009], 0x00);
    EXPECT_EQ(flash[0x2000A], 0xFF);
    board_.SetTargetPower(true);
    EXPECT_EQ(WriteTo(board_, Cmd(0xF2, 0x04, 0, 0x02, 0, 0, 0), data), 1);  // once only
    EXPECT_EQ(flash[0x200FF], 0x00);
}

TEST_F(FaultTest, TheBoardIsPulledOutAfterTheGivenNumberOfTransfers) {
    FaultRule rule;
    rule.kind = FaultKind::kUnplug;
    rule.afterTransfers = 1;
    board_.AddFault(rule);
    EXPECT_EQ(ReadResult(kReadBlock3), 1);
    EXPECT_FALSE(board_.IsPlugged());
    EXPECT_EQ(ReadResult(kReadBlock3), 0);
    EXPECT_EQ(board_.Connect(), 1);
    board_.Plug();
    EXPECT_EQ(ReadResult(kReadBlock3), 0);  // the old connection is gone
    EXPECT_EQ(board_.Connect(), 0);
    EXPECT_EQ(ReadResult(kReadBlock3), 1);
}

TEST_F(FaultTest, AnEraseLieReportsSuccessAndErasesNothingOfTheNamedBlockOnly) {
    std::span<uint8_t> flash = board_.Flash(FlashId::kExternalSpi);
    std::fill(flash.begin(), flash.begin() + 0x30000, 0x5A);
    FaultRule rule;
    rule.kind = FaultKind::kEraseLie;
    rule.unit = 1;
    rule.times = 1;
    board_.AddFault(rule);
    const Header eraseBlock1 = Cmd(0xF2, 0x03, 2, 0, 1, 255, 0);
    EXPECT_EQ(WriteTo(board_, eraseBlock1, {0}), 1);
    EXPECT_EQ(flash[0x10000], 0x5A);
    EXPECT_EQ(flash[0x1FFFF], 0x5A);
    EXPECT_EQ(WriteTo(board_, Cmd(0xF2, 0x03, 2, 0, 2, 255, 0), {0}), 1);
    EXPECT_EQ(flash[0x20000], 0xFF);  // another block erases
    EXPECT_EQ(WriteTo(board_, eraseBlock1, {0}), 1);
    EXPECT_EQ(flash[0x10000], 0xFF);  // the lie was used up
}

TEST_F(FaultTest, AnEraseLieAlsoCoversTheUsbPdOneKibErase) {
    Scenario scenario;
    scenario.pd = PdSpec{};
    VirtualBoard board(scenario);
    board.Connect();
    const uint8_t address = scenario.pd->i2cAddress;
    WriteTo(board, Cmd(0xFC, 0x15, 0xFE, 0x5A, 0, 0, address), {0x3D});
    ReadFrom(board, Cmd(0xFC, 0x10, 0, 0, 0, 0, address), 4);
    board.Flash(FlashId::kPd)[0x400] = 0x00;
    FaultRule rule;
    rule.kind = FaultKind::kEraseLie;
    board.AddFault(rule);
    const uint8_t variant = PdFlashVariantOf(scenario.pd->chipId);
    uint8_t result = 0;
    ReadFrom(board, Cmd(0xFC, 0x02, 1, 0, 0x00, 0x04, address, variant), 16, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(board.Flash(FlashId::kPd)[0x400], 0x00);
}

TEST_F(FaultTest, APartialWriteProgramsOnlyTheLeadingBytesAndClearsBitsOnly) {
    std::span<uint8_t> flash = board_.Flash(FlashId::kExternalSpi);
    flash[0x20000 + 200] = 0xF0;  // programmed before: a partial write cannot set bits
    FaultRule rule;
    rule.kind = FaultKind::kPartialWrite;
    rule.bytes = 100;
    rule.times = 1;
    board_.AddFault(rule);
    const std::vector<uint8_t> data(256, 0x0F);
    EXPECT_EQ(WriteTo(board_, Cmd(0xF2, 0x04, 0, 0x02, 0, 0, 0), data), 1);
    EXPECT_EQ(flash[0x20000], 0x0F);
    EXPECT_EQ(flash[0x20000 + 99], 0x0F);
    EXPECT_EQ(flash[0x20000 + 100], 0xFF);
    EXPECT_EQ(flash[0x20000 + 200], 0xF0);
    EXPECT_EQ(WriteTo(board_, Cmd(0xF2, 0x04, 0, 0x03, 0, 0, 0), data), 1);
    EXPECT_EQ(flash[0x30000 + 255], 0x0F);  // only one write was cut
}

TEST_F(FaultTest, AStaleReadAnswersWithThePreviousReplyOnceThenTheTruth) {
    std::span<uint8_t> flash = board_.Flash(FlashId::kExternalSpi);
    std::fill(flash.begin() + 0x30000, flash.begin() + 0x40000, 0x33);
    std::fill(flash.begin() + 0x40000, flash.begin() + 0x50000, 0x44);
    FaultRule rule;
    rule.kind = FaultKind::kStaleRead;
    rule.unit = 4;
    rule.times = 1;
    board_.AddFault(rule);
    uint8_t result = 0;
    EXPECT_EQ(ReadFrom(board_, kReadBlock3, 65536)[0], 0x33);
    const auto stale = ReadFrom(board_, kReadBlock4, 65536, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(stale[0], 0x33);
    EXPECT_EQ(stale[65535], 0x33);
    EXPECT_EQ(ReadFrom(board_, kReadBlock4, 65536)[0], 0x44);
}

TEST_F(FaultTest, AStaleReadBeforeAnyReplySendsAnUnfilledBuffer) {
    FaultRule rule;
    rule.kind = FaultKind::kStaleRead;
    board_.AddFault(rule);
    EXPECT_EQ(ReadFrom(board_, kReadBlock3, 65536)[0], 0x00);  // blank flash, unfilled buffer
}

TEST_F(FaultTest, LiesAtARateAreRepeatableForTheSameSeed) {
    auto pattern = [](uint64_t seed) {
        VirtualBoard board(EcScenario());
        board.Connect();
        board.SeedFaults(seed);
        FaultRule rule;
        rule.kind = FaultKind::kEraseLie;
        rule.rate = 0.5;
        board.AddFault(rule);
        std::string erased;
        for (uint8_t block = 0; block < 32; ++block) {
            board.Flash(FlashId::kExternalSpi)[block * 0x10000u] = 0;
            WriteTo(board, Cmd(0xF2, 0x03, 2, 0, block, 255, 0), {0});
            erased += board.Flash(FlashId::kExternalSpi)[block * 0x10000u] == 0xFF ? 'E' : '-';
        }
        return erased;
    };
    EXPECT_EQ(pattern(3), pattern(3));
    EXPECT_NE(pattern(3), pattern(4));
    EXPECT_NE(pattern(3).find('E'), std::string::npos);
    EXPECT_NE(pattern(3).find('-'), std::string::npos);
}

}  // namespace
}  // namespace quillon::sim::test
