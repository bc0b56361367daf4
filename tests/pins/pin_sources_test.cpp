#include <cstring>

#include "tests/pins/pin_fixture.h"

namespace quillon::test {
namespace {

constexpr uint8_t kCodesOfPins21To7[15] = {0x41, 0x43, 0x45, 0x46, 0x90, 0x91, 0x92, 0x93,
                                           0x94, 0x95, 0xA0, 0xA1, 0xA2, 0xA3, 0x37};

class PinSourceTest : public PinStationTest {
protected:
    std::string BinWithPjig() {
        std::string bytes(0x400, '\xFF');
        std::memcpy(bytes.data() + 0x200, "$PJIG$", 6);
        bytes[0x208] = 0x40;
        bytes[0x209] = 0x00;
        std::memcpy(bytes.data() + 0x240, kCodesOfPins21To7, 15);
        const auto path = dir / "image.bin";
        testing::WriteFileBytes(path, bytes);
        return path.string();
    }
};

TEST_F(PinSourceTest, FileOnAPinCodeBoardTakesThePinsFromTheBinFile) {
    WritePinSets(kThreeSets);
    UseBoard(1, 1);
    Preset([](SettingsStore& s) { s.WriteInt("PinDefNum", 2); });
    Start();
    PastGreeting();
    ASSERT_TRUE(station->SetupLogic().PinSourceSelected(1));  // asks for a pin file
    EXPECT_EQ(PinDefinitionDesk::PinFileDialog().filter, "[*.bin]|*.bin|[*.rom]|*.rom|*.*|*.*");
    EXPECT_EQ(SetupControls().pins.setIndex, 0);
    EXPECT_EQ(Reopen()->ReadInt("PinDefNum"), 0);
    station->Pins().LoadPinFile(BinWithPjig());
    EXPECT_EQ(SetupControls().pinDefSourceItem, 1);
    EXPECT_FALSE(SetupControls().pinSetListEnabled);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin21");
    EXPECT_EQ(SetupControls().pins.codes[0], "0x41");
    EXPECT_EQ(SetupControls().pins.labels[14], "Pin07");
    EXPECT_TRUE(panel.boxes.empty());

    // Setup OK: the pins go to the board, the source is stored as "File".
    station->SetupLogic().Open();
    ASSERT_TRUE(station->SetupLogic().Ok());
    EXPECT_EQ(PinDefinesSent(), (std::vector<std::vector<uint8_t>>{Pins(
                                    {21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 7})}));
    EXPECT_EQ(Reopen()->ReadInt("PinDefSource"), 2);
    EXPECT_TRUE(Sent(0xF2, 0x1C).empty());  // a pin-code board's flash is left alone

    // Cancel brings the stored "File" back, which asks for the pin file again.
    station->SetupLogic().Open();
    EXPECT_FALSE(station->SetupLogic().PinSourceSelected(2));
    EXPECT_TRUE(station->SetupLogic().Cancel());
    EXPECT_EQ(SetupControls().pinDefSourceItem, 1);
}

TEST_F(PinSourceTest, BinFileWithoutADefinitionFallsBackToIni) {
    WritePinSets(kThreeSets);
    UseBoard(1, 1);
    Start();
    PastGreeting();
    std::string bytes(0x100, '\0');
    std::memcpy(bytes.data() + 0x10, "$$PJIG$", 7);
    testing::WriteFileBytes(dir / "plain.bin", bytes);
    ASSERT_TRUE(station->SetupLogic().PinSourceSelected(1));
    station->Pins().LoadPinFile((dir / "plain.bin").string());
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].title, "Warning");
    EXPECT_EQ(panel.boxes[0].text, "There is not Pin Define in this bin file.");
    EXPECT_EQ(SetupControls().pinDefSourceItem, 2);
    EXPECT_TRUE(SetupControls().pinSetListEnabled);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin01");

    // A cancelled dialog stops the step: no file is loaded, the source stays "File".
    EXPECT_TRUE(station->SetupLogic().PinSourceSelected(1));
    EXPECT_EQ(SetupControls().pinDefSourceItem, 1);
    EXPECT_EQ(panel.boxes.size(), 1u);

    // A file that cannot be read is refused the same way.
    station->Pins().LoadPinFile((dir / "missing.bin").string());
    ASSERT_EQ(panel.boxes.size(), 2u);
    EXPECT_EQ(panel.boxes[1].text,
              "Cannot read the file '" + (dir / "missing.bin").string() + "'.");
    EXPECT_EQ(SetupControls().pinDefSourceItem, 2);
}

TEST_F(PinSourceTest, FileAndEFlashOnAPinNumberBoard) {
    WritePinSets(kThreeSets);
    UseBoard(1, 0);
    Start();
    PastGreeting();
    EXPECT_EQ(SetupControls().pins.gridRows, 2);
    EXPECT_EQ(SetupControls().pins.secondRowHeight, 33);
    EXPECT_FALSE(station->SetupLogic().PinSourceSelected(1));  // "File" -> "INI", no file asked
    EXPECT_EQ(SetupControls().pinDefSourceItem, 2);

    station->Pins().PickSet(1);  // pins 16..30 from the file
    station->SetupLogic().PinSourceSelected(0);
    EXPECT_EQ(SetupControls().pinDefSourceItem, 0);
    EXPECT_FALSE(SetupControls().pinSetListEnabled);
    ASSERT_EQ(Sent(0xF2, 0x1A).size(), 1u);
    EXPECT_EQ(Sent(0xF2, 0x1A)[0].length, 16u);
    EXPECT_EQ(Sent(0xF2, 0x1A)[0].result, 1);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin20");
    EXPECT_EQ(SetupControls().pins.codes[0], "0x22");  // the code row is left as it was
}

// Edits a pin with the source "eFlash" on a pin-number board and presses OK: the record in
// the board's flash is rewritten, then the definition is sent.
class EFlashStoreTest : public PinStationTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(EFlashStoreTest, ChangedPinsAreWrittenIntoTheBoardsFlash) {
    const uint8_t controllerKind = GetParam();
    WritePinSets(kThreeSets);
    UseBoard(controllerKind, 0);
    Preset([](SettingsStore& s) {
        s.WriteInt("PinDefSource", 1);
        s.WriteInt("ConnectMode", 1);
    });
    Start();
    // The settings load's read of the board's copy came before the board was bound and failed
    // quietly; the greeting, told of a pin-number board, took its copy over (the code row
    // stays the one of the file's set) and sent it with the KBS power sequence.
    EXPECT_EQ(SetupControls().pinDefSourceItem, 0);
    EXPECT_EQ(SetupControls().pins.gridRows, 2);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin20");
    EXPECT_EQ(SetupControls().pins.labels[2], "Pin18");
    EXPECT_EQ(SetupControls().pins.codes[0], "0x27");
    EXPECT_EQ(Sent(0xF2, 0x1A).size(), 1u);
    EXPECT_EQ(PinDefinesSent(), (std::vector<std::vector<uint8_t>>{Pins(
                                    {20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6})}));
    PastGreeting();

    station->SetupLogic().Open();
    board->ClearTrace();
    editor.pinAnswers = {"Pin27"};
    station->Pins().EditPin(1, 2);
    station->Pins().StoreOnSetupOk();

    const uint32_t address = controllerKind == 1 ? 0x1DC00 : 0x3FC00;
    const auto& trace = board->Trace();
    ASSERT_GE(trace.size(), 4u);
    EXPECT_EQ(trace[0].header[0], 0xF0);  // ReadBoardFirmware first: the address follows it
    EXPECT_EQ(trace[0].header[1], 0x02);
    const auto writes = Sent(0xF2, 0x1C);
    if (controllerKind == 1) {
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].length, 32u);
    } else {
        ASSERT_EQ(writes.size(), 32u);
        for (std::size_t i = 0; i < writes.size(); ++i) {
            EXPECT_EQ(writes[i].header[4], 0x03);  // P3, P4, P5: 0x3FC00 + i
            EXPECT_EQ(writes[i].header[5], 0xFC);
            EXPECT_EQ(writes[i].header[6], i);
            EXPECT_EQ(writes[i].length, 1u);
        }
    }
    EXPECT_EQ(Sent(0xF2, 0x1B).size(), 1u);
    EXPECT_EQ(trace.back().header[1], 0x05);  // SetKbsPinDefine last
    EXPECT_EQ(PinDefinesSent().back(),
              Pins({20, 19, 27, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6}));

    // The board's true flash holds the new record: 15 pins and a 0.
    std::array<uint8_t, 16> record{};
    ASSERT_TRUE(board->OwnFlash().Read(address, record));
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()),
              Pins({20, 19, 27, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 0}));
    EXPECT_EQ(
        std::find(panel.mainLog.begin(), panel.mainLog.end(), "Write PinDefine to eFlash is FAIL!"),
        panel.mainLog.end());

    // Nothing changed: only SetKbsPinDefine.
    board->ClearTrace();
    station->Pins().StoreOnSetupOk();
    ASSERT_EQ(board->Trace().size(), 1u);
    EXPECT_EQ(board->Trace()[0].header[1], 0x05);
}

INSTANTIATE_TEST_SUITE_P(BothBoardControllers, EFlashStoreTest, ::testing::Values(1, 2));

}  // namespace
}  // namespace quillon::test
