#include "sim/virtual_board.h"

#include <gtest/gtest.h>

#include <numeric>

#include "board/block_checksum.h"
#include "sim/ec_target.h"
#include "tests/sim/board_fixture.h"

namespace quillon::sim::test {
namespace {

class BoardTest : public ::testing::Test {
protected:
    explicit BoardTest(Scenario scenario = EcScenario()) : board_(scenario) {
        EXPECT_EQ(board_.Connect(), 0);
    }
    std::vector<uint8_t> In(const Header& header, uint32_t length, uint8_t expectResult = 1) {
        uint8_t result = 0;
        auto reply = ReadFrom(board_, header, length, &result);
        EXPECT_EQ(result, expectResult) << "header " << int(header[0]) << "/" << int(header[1]);
        return reply;
    }
    uint8_t Out(const Header& header, const std::vector<uint8_t>& data) {
        return WriteTo(board_, header, data);
    }
    VirtualBoard board_;
};

TEST_F(BoardTest, FirmwareInformationCarriesVersionKindAndPinKind) {
    EXPECT_EQ(In(Cmd(0xF0, 0x02), 4), (std::vector<uint8_t>{0x02, 0x15, 1, 0}));
}

TEST_F(BoardTest, ATransferOfTheWrongShapeFails) {
    In(Cmd(0xF0, 0x02), 3, 0);                      // firmware is 4 bytes
    In(Cmd(0xF2, 0x00), 4, 0);                      // chip ID is 3 bytes
    In(Cmd(0xF2, 0x02, 0), 65535, 0);               // a block is 65536 bytes
    EXPECT_EQ(Out(Cmd(0xF2, 0x00), {1, 2, 3}), 0);  // wrong direction
    In(Cmd(0xF1, 0x00), 3, 0);                      // unknown opcode
    In(Cmd(0xF2, 0x01, 0x00), 5);                   // 5-byte ID, and
    In(Cmd(0xF2, 0x01, 0x10), 16);                  // the 16-byte form when P1 = 16
}

TEST_F(BoardTest, NothingAnswersWithoutAConnection) {
    board_.Disconnect();
    In(Cmd(0xF0, 0x02), 4, 0);
    EXPECT_TRUE(board_.Trace().empty());
}

TEST_F(BoardTest, TheControllerAnswersOnBothInterfacesWhileItHasPower) {
    EXPECT_EQ(In(Cmd(0xF2, 0x00), 3), (std::vector<uint8_t>{0x84, 0x58, 0x01}));
    EXPECT_EQ(In(Cmd(0xF3, 0x00), 3), (std::vector<uint8_t>{0x84, 0x58, 0x01}));
    board_.SetTargetPower(false);
    In(Cmd(0xF2, 0x00), 3, 0);
    In(Cmd(0xF2, 0x02), 65536, 0);
    // The board itself still answers.
    In(Cmd(0xF0, 0x02), 4);
}

TEST_F(BoardTest, ActionCodesTenAndElevenChooseTheFlash) {
    board_.Flash(FlashId::kEFlash)[0] = 0x11;
    board_.Flash(FlashId::kExternalSpi)[0] = 0x22;
    In(Cmd(0xF2, 0x20, 10), 1);
    EXPECT_EQ(In(Cmd(0xF2, 0x02, 0, 0), 65536)[0], 0x11);
    In(Cmd(0xF3, 0x20, 11), 1);
    EXPECT_EQ(In(Cmd(0xF2, 0x02, 0, 0), 65536)[0], 0x22);
    EXPECT_EQ(board_.LastKbsAction(), 10);
    EXPECT_EQ(board_.LastSmbAction(), 11);
}

TEST_F(BoardTest, BlockNumbersUseBothBytes) {
    board_.Flash(FlashId::kExternalSpi)[0x10000] = 0x42;
    board_.Flash(FlashId::kExternalSpi)[0x3F0000] = 0x43;
    EXPECT_EQ(In(Cmd(0xF2, 0x02, 0x01, 0, 0, 0, 0x00), 65536)[0], 0x42);
    EXPECT_EQ(In(Cmd(0xF2, 0x02, 0x3F, 0, 0, 0, 0x00), 65536)[0], 0x43);
    // EraseFlash: block low in P3, high in P5, last page of the sector in P4.
    EXPECT_EQ(Out(Cmd(0xF2, 0x03, 1, 0, 0x3F, 0x0F, 0x00), {0}), 1);
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x3F0000], 0xFF);
}

TEST_F(BoardTest, WriteBlockAndPageWriteProgramTheSelectedPart) {
    std::vector<uint8_t> block(65536);
    std::iota(block.begin(), block.end(), 0);
    ASSERT_EQ(Out(Cmd(0xF2, 0x04, 0x00, 0x02, 0x00, 0, 0), block), 1);  // P3 0 = 256
    EXPECT_TRUE(std::equal(block.begin(), block.end(),
                           board_.Flash(FlashId::kExternalSpi).begin() + 0x20000));
    std::vector<uint8_t> page(256, 0x5A);
    // WritePage: P2 = page write size, P3 = block low, P4 = page, P5 = block high.
    ASSERT_EQ(Out(Cmd(0xF2, 0x0A, 0, 16, 0x03, 0x07, 0x00), page), 1);
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x30700], 0x5A);
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x307FF], 0x5A);
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x30800], 0xFF);
}

TEST_F(BoardTest, ChecksumCompareMatchesOnlyTheFlashContents) {
    auto flash = board_.Flash(FlashId::kExternalSpi);
    for (std::size_t i = 0; i < 65536; ++i) {
        flash[0x10000 + i] = static_cast<uint8_t>(i * 7);
    }
    const auto sums = BlockChecksums(flash.subspan(0x10000, 65536));
    std::vector<uint8_t> words(sums.begin(), sums.end());
    EXPECT_EQ(Out(Cmd(0xF2, 0x07, 0, 0x01, 0, 0, 0), words), 1);
    EXPECT_EQ(Out(Cmd(0xF2, 0x07, 0, 0x00, 0, 0, 0), words), 0);  // block 0 differs
    flash[0x10000 + 1023] ^= 1;                                   // one bit in the first KiB
    EXPECT_EQ(Out(Cmd(0xF2, 0x07, 0, 0x01, 0, 0, 0), words), 0);
}

TEST_F(BoardTest, QuickWriteNeedsTheQuickWriteEngine) {
    std::vector<uint8_t> block(65536, 0x00);
    EXPECT_EQ(Out(Cmd(0xF2, 0x08, 0, 0x02, 0), block), 1);
    EXPECT_EQ(board_.Flash(FlashId::kExternalSpi)[0x2FFFF], 0x00);

    Scenario slow = EcScenario();
    slow.ec->quickModeRegister = 0xFF;
    VirtualBoard old(slow);
    old.Connect();
    EXPECT_EQ(WriteTo(old, Cmd(0xF2, 0x08, 0, 0x02, 0), block), 0);
    // The probe of debugger register 0x1A reads what the scenario says.
    EXPECT_EQ(ReadFrom(old, Cmd(0xF2, 0x2F, 0, 0x1A), 4)[0], 0xFF);
}

TEST_F(BoardTest, StatusRegistersAreWrittenAndReadBack) {
    auto reply = In(Cmd(0xF2, 0x09, 0x82, 0x00, 0x02), 130);
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(reply[1], 0x02);
    reply = In(Cmd(0xF2, 0x09, 0xFF, 0, 0), 255);
    EXPECT_EQ(reply[1], 0x02);
    In(Cmd(0xF2, 0x09, 0x03, 0, 0), 3, 0);  // not a status mode
}

TEST_F(BoardTest, TargetRegistersKeepWhatIsWrittenAndStartFromTheScenario) {
    Scenario scenario = EcScenario();
    scenario.ec->registers[0x1080] = 0x08;
    VirtualBoard board(scenario);
    board.Connect();
    EXPECT_EQ(ReadFrom(board, Cmd(0xF2, 0x24, 0x10, 0x80, 0, 0, 0, 0, 0xF0), 1)[0], 0x08);
    EXPECT_EQ(WriteTo(board, Cmd(0xF2, 0x23, 0x20, 0x06, 0, 0, 0, 0, 0xF0), {0x44}), 1);
    EXPECT_EQ(board.Ec()->Register(0x2006), 0x44);
    EXPECT_EQ(WriteTo(board, Cmd(0xF2, 0x27, 0x81), {0}), 1);
    EXPECT_EQ(board.Ec()->RunControl(), 0x81);
    board.SetTargetPower(false);
    board.SetTargetPower(true);
    EXPECT_EQ(board.Ec()->Register(0x2006), 0x00);  // a power cycle resets the controller
}

class RomKeyTest : public BoardTest {
protected:
    static Scenario Locked() {
        Scenario scenario = EcScenario();
        scenario.ec->romKeyLocked = true;
        scenario.ec->internalSelected = true;
        return scenario;
    }
    RomKeyTest() : BoardTest(Locked()) {}
};

TEST_F(RomKeyTest, TheEFlashStaysLockedUntilTheBuiltInKeyAndAgainAfterPowerLoss) {
    In(Cmd(0xF2, 0x02), 65536, 0);
    const std::vector<uint8_t> wrong(8, 0x00);
    EXPECT_EQ(Out(Cmd(0xF2, 0x06, 2, 8), wrong), 0);
    In(Cmd(0xF2, 0x02), 65536, 0);
    const std::vector<uint8_t> key(kBuiltInRomKey.begin(), kBuiltInRomKey.end());
    EXPECT_EQ(Out(Cmd(0xF2, 0x06, 1, 8), key), 1);  // kind 1 unlocks nothing here
    In(Cmd(0xF2, 0x02), 65536, 0);
    EXPECT_EQ(Out(Cmd(0xF2, 0x06, 2, 8), key), 1);
    In(Cmd(0xF2, 0x02), 65536, 1);
    board_.SetTargetPower(false);
    board_.SetTargetPower(true);
    In(Cmd(0xF2, 0x02), 65536, 0);
    // The external part is not behind the ROM key.
    In(Cmd(0xF2, 0x20, 11), 1);
    In(Cmd(0xF2, 0x02), 65536, 1);
}

TEST(BoardLinks, AControllerOnOneInterfaceDoesNotAnswerOnTheOther) {
    Scenario scenario = EcScenario();
    scenario.ec->link = EcLink::kSmbus;
    VirtualBoard board(scenario);
    board.Connect();
    uint8_t result = 9;
    ReadFrom(board, Cmd(0xF2, 0x00), 3, &result);
    EXPECT_EQ(result, 0);
    ReadFrom(board, Cmd(0xF3, 0x00), 3, &result);
    EXPECT_EQ(result, 1);
}

TEST(BoardLinks, KbsNeedsTheMatchingPinDefinition) {
    Scenario scenario = EcScenario();
    std::array<uint8_t, 15> wiring{};
    std::iota(wiring.begin(), wiring.end(), uint8_t{3});
    scenario.ec->kbsPins = wiring;
    VirtualBoard board(scenario);
    board.Connect();
    uint8_t result = 9;
    ReadFrom(board, Cmd(0xF2, 0x00), 3, &result);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(WriteTo(board, Cmd(0xF2, 0x05), std::vector<uint8_t>(wiring.begin(), wiring.end())),
              1);
    EXPECT_EQ(board.KbsPinDefinition(), wiring);
    ReadFrom(board, Cmd(0xF2, 0x00), 3, &result);
    EXPECT_EQ(result, 1);
}

// The parameter record update as the board sees it: read 32, erase, write, read back.
std::vector<uint8_t> UpdateRecord(VirtualBoard& board, uint32_t address,
                                  const std::vector<uint8_t>& record, bool byteWise) {
    const auto a2 = static_cast<uint8_t>(address >> 16);
    const auto a1 = static_cast<uint8_t>(address >> 8);
    const auto a0 = static_cast<uint8_t>(address);
    uint8_t result = 0;
    ReadFrom(board, Cmd(0xF2, 0x1A, 0, 0, a2, a1, a0, 32), 32, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(board.Read(Cmd(0xF2, 0x1B, 0, 0, a2, a1, a0).data(), 0, nullptr), 1);
    if (byteWise) {
        for (uint8_t i = 0; i < 32; ++i) {
            EXPECT_EQ(WriteTo(board, Cmd(0xF2, 0x1C, 0, 0, a2, a1, static_cast<uint8_t>(a0 + i), 1),
                              {record[i]}),
                      1);
        }
    } else {
        EXPECT_EQ(WriteTo(board, Cmd(0xF2, 0x1C, 0, 0, a2, a1, a0, 32), record), 1);
    }
    return ReadFrom(board, Cmd(0xF2, 0x1A, 0, 0, a2, a1, a0, 32), 32);
}

TEST(BoardParameterRecord, AKq11edBoardTakesTheRecordInOneWriteAt0x1DC00) {
    Scenario scenario = EcScenario();
    scenario.board.storedPins =
        std::array<uint8_t, 15>{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    VirtualBoard board(scenario);
    board.Connect();
    std::vector<uint8_t> record(32, 0xFF);
    std::iota(record.begin(), record.begin() + 15, uint8_t{1});
    record[15] = 0;
    EXPECT_EQ(UpdateRecord(board, 0x1DC00, record, false), record);
    // The record does not fit where a KQ775A board keeps it.
    uint8_t result = 9;
    ReadFrom(board, Cmd(0xF2, 0x1A, 0, 0, 0x03, 0xFC, 0x00, 32), 32, &result);
    EXPECT_EQ(result, 0);
}

TEST(BoardParameterRecord, AKq775aBoardProgramsOneBytePerCommandAt0x3FC00) {
    Scenario scenario = EcScenario();
    scenario.board.controllerKind = 2;
    scenario.board.storedFileSize = 0x11111;
    VirtualBoard board(scenario);
    board.Connect();
    std::vector<uint8_t> record(32, 0xFF);
    record[20] = 0x56;
    record[21] = 0x34;
    record[22] = 0x02;
    record[23] = 0x00;
    EXPECT_EQ(UpdateRecord(board, 0x3FC00, record, true), record);
    // A 32-byte write programs only its first byte on this board: the read-back differs.
    auto written = UpdateRecord(board, 0x3FC00, std::vector<uint8_t>(32, 0x00), false);
    EXPECT_EQ(written[0], 0x00);
    EXPECT_EQ(written[1], 0xFF);
}

TEST(BoardParameterRecord, ThePinDefinitionInFlashIsActiveAfterPlugIn) {
    Scenario scenario = EcScenario();
    scenario.board.storedPins =
        std::array<uint8_t, 15>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    VirtualBoard board(scenario);
    EXPECT_EQ(board.KbsPinDefinition()[14], 15);
    EXPECT_EQ(board.Flash(FlashId::kBoard)[0x1DC00 + 15], 0);
}

TEST(BoardSocket, TheSocketVariantsReachThePartInTheBoardsSocket) {
    Scenario scenario;
    scenario.socketPart = "W25Q128FV";
    VirtualBoard board(scenario);
    board.Connect();
    uint8_t result = 0;
    EXPECT_EQ(ReadFrom(board, Cmd(0xF2, 0x11, 0), 5, &result),
              (std::vector<uint8_t>{0xEF, 0x40, 0x18, 0xEF, 0x17}));
    EXPECT_EQ(result, 1);
    std::vector<uint8_t> block(65536, 0x3C);
    EXPECT_EQ(WriteTo(board, Cmd(0xF2, 0x14, 0, 0xFF, 0, 0, 0), block), 1);
    EXPECT_EQ(board.Flash(FlashId::kSocket)[0xFF0000], 0x3C);
    EXPECT_EQ(ReadFrom(board, Cmd(0xF2, 0x12, 0xFF, 0, 0, 0, 0), 65536, &result)[5], 0x3C);
    EXPECT_EQ(WriteTo(board, Cmd(0xF2, 0x13, 2, 0, 0xFF, 255, 0), {0}), 1);
    EXPECT_EQ(board.Flash(FlashId::kSocket)[0xFF0000], 0xFF);
    // The plain sub-commands go to the (absent) controller.
    ReadFrom(board, Cmd(0xF2, 0x01, 0), 5, &result);
    EXPECT_EQ(result, 0);
}

class PdTest : public ::testing::Test {
protected:
    static Scenario Pd() {
        Scenario scenario;
        PdSpec pd;
        pd.chipId = {0xD1, 0x08, 0x00};  // flash variant 3
        pd.registers[0xFFC3] = 0x08;
        scenario.pd = pd;
        return scenario;
    }
    PdTest() : board_(Pd()) { board_.Connect(); }
    uint8_t EnterTestMode() {
        for (int i = 0; i < 10; ++i) {
            WriteTo(board_, Cmd(0xFC, 0x15, 0xFE, 0x5A, 0, 0, 0x80), {0x3D});
        }
        uint8_t result = 0;
        ReadFrom(board_, Cmd(0xFC, 0x10, 0, 0, 0, 0, 0x80), 4, &result);
        return result;
    }
    VirtualBoard board_;
};

TEST_F(PdTest, IdentifiesItselfAtItsAddressOnly) {
    uint8_t result = 0;
    EXPECT_EQ(ReadFrom(board_, Cmd(0xFC, 0x00, 0, 0, 0, 0, 0x80), 3, &result),
              (std::vector<uint8_t>{0xD1, 0x08, 0x00}));
    EXPECT_EQ(result, 1);
    ReadFrom(board_, Cmd(0xFC, 0x00, 0, 0, 0, 0, 0x82), 3, &result);
    EXPECT_EQ(result, 0);
    auto id = ReadFrom(board_, Cmd(0xFC, 0x01, 0, 0, 0, 0, 0x80, 3), 16, &result);
    EXPECT_EQ(id[2], 0xFE);
    id = ReadFrom(board_, Cmd(0xFC, 0x01, 0, 0, 0, 0, 0x80, 0), 16, &result);  // wrong variant
    EXPECT_EQ(id[2], 0xFF);
    EXPECT_EQ(ReadFrom(board_, Cmd(0xFC, 0x16, 0xFF, 0xC3, 0, 0, 0x80), 1)[0], 0x08);
}

TEST_F(PdTest, FlashCommandsNeedTestModeWhichNeedsTheUnlockByte) {
    uint8_t result = 0;
    ReadFrom(board_, Cmd(0xFC, 0x10, 0, 0, 0, 0, 0x80), 4, &result);
    EXPECT_EQ(result, 0);
    ReadFrom(board_, Cmd(0xFC, 0x03, 0, 0, 0, 0, 0x80, 3), 256, &result);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(EnterTestMode(), 1);
    ReadFrom(board_, Cmd(0xFC, 0x03, 0, 0, 0, 0, 0x80, 3), 256, &result);
    EXPECT_EQ(result, 1);
    ReadFrom(board_, Cmd(0xFC, 0x11, 0, 0, 0, 0, 0x80), 4, &result);  // exit resets
    EXPECT_FALSE(board_.Pd()->InTestMode());
}

TEST_F(PdTest, EraseClearsTheKibAtItsPageAndPagesAreAddressedAsTheProtocolPlacesThem) {
    ASSERT_EQ(EnterTestMode(), 1);
    auto flash = board_.Flash(FlashId::kPd);
    std::fill(flash.begin(), flash.end(), 0x00);
    uint8_t result = 0;
    // The KiB at 0x1400 is page 0x14: P3 = 0x00, P4 = 0x14.
    ReadFrom(board_, Cmd(0xFC, 0x02, 1, 0, 0x00, 0x14, 0x80, 3), 16, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(flash[0x13FF], 0x00);
    EXPECT_EQ(flash[0x1400], 0xFF);
    EXPECT_EQ(flash[0x17FF], 0xFF);
    EXPECT_EQ(flash[0x1800], 0x00);
    // Write page 0x15 (P2 high, P4 low) into the erased KiB, read it back (P1 high, P4 low).
    std::vector<uint8_t> page(256, 0xA5);
    EXPECT_EQ(WriteTo(board_, Cmd(0xFC, 0x04, 0, 0x00, 0, 0x15, 0x80, 3), page), 1);
    EXPECT_EQ(ReadFrom(board_, Cmd(0xFC, 0x03, 0x00, 0, 0, 0x15, 0x80, 3), 256, &result)[0], 0xA5);
    // Over the unerased page 0x18 the same write changes nothing: program only clears bits.
    EXPECT_EQ(WriteTo(board_, Cmd(0xFC, 0x04, 0, 0x00, 0, 0x18, 0x80, 3), page), 1);
    EXPECT_EQ(flash[0x1800], 0x00);
    // A page past the end of the flash is refused.
    EXPECT_EQ(WriteTo(board_, Cmd(0xFC, 0x04, 0, 0x01, 0, 0x00, 0x80, 3), page), 0);
}

TEST_F(PdTest, RegisterCommandsOnTheDebuggerOpcodeReachThePdRegisters) {
    uint8_t result = 0;
    EXPECT_EQ(WriteTo(board_, Cmd(0xF2, 0x23, 0x1C, 0x34, 0, 0, 0, 0, 0xF0), {0x80}), 1);
    EXPECT_EQ(ReadFrom(board_, Cmd(0xF2, 0x24, 0x1C, 0x34, 0, 0, 0, 0, 0xF0), 1, &result)[0], 0x80);
}

}  // namespace
}  // namespace quillon::sim::test
