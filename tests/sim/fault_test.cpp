#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillon::sim::test
