#include "tests/pins/pin_fixture.h"

namespace quillon::test {
namespace {

const std::vector<std::string> kThreeEntries = {"0 : Default", "1 : KQ8 EVB", "2 : Reversed",
                                                kPinSetNewEntry};

TEST_F(PinStationTest, StartupFillsTheListAndTheDefinitionFromTheStoredSet) {
    WritePinSets(kThreeSets);
    Preset([](SettingsStore& s) { s.WriteInt("PinDefNum", 2); });
    Start();
    EXPECT_EQ(SetupControls().pins.setEntries, kThreeEntries);
    EXPECT_EQ(SetupControls().pins.setIndex, 2);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin15");
    EXPECT_EQ(SetupControls().pins.codes[0], "0x25");
    EXPECT_EQ(SetupControls().pins.labels[14], "Pin01");
    // Stored source 3: "INI" with the list enabled.
    EXPECT_EQ(SetupControls().pinDefSourceItem, 2);
    EXPECT_TRUE(SetupControls().pinSetListEnabled);
}

TEST_F(PinStationTest, StoredSetNumberBeyondTheSetsSelectsTheFirst) {
    WritePinSets(kThreeSets);
    Preset([](SettingsStore& s) { s.WriteInt("PinDefNum", 7); });
    Start();
    EXPECT_EQ(SetupControls().pins.setIndex, 0);
    EXPECT_EQ(Reopen()->ReadInt("PinDefNum"), 0);
    EXPECT_EQ(SetupControls().pins.labels[3], "Pin04");
}

TEST_F(PinStationTest, MissingFileGivesOneEmptySetThatIsSkippedWithOneLine) {
    Preset([](SettingsStore& s) { s.WriteInt("ConnectMode", 1); });
    Start();
    EXPECT_EQ(SetupControls().pins.setEntries, (std::vector<std::string>{"0 : ", kPinSetNewEntry}));
    EXPECT_EQ(
        LinesStartingWith("Pin set"),
        (std::vector<std::string>{"Pin set 0 of PinSet.ini is skipped : The pin set is empty."}));
    EXPECT_EQ(SetupControls().pins.labels[0], " ");
    // The board was still greeted, but the KBS greeting sends no definition of empty pins.
    EXPECT_TRUE(PinDefinesSent().empty());
    PastGreeting();
    // The start-up went on to its end.
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_TRUE(station->MainPageActive());
}

TEST_F(PinStationTest, MalformedSetsAreSkippedAtStartupAndRefusedLater) {
    WritePinSets(
        "[SetNum]\nNum=2\n[PinSet]\n"
        "0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,99,Bad\n"
        "1=16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,Good\n");
    Start();
    const auto skipped = LinesStartingWith("Pin set");
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].rfind("Pin set 0 of PinSet.ini is skipped", 0), 0u) << skipped[0];
    EXPECT_NE(skipped[0].find("KSO9"), std::string::npos) << skipped[0];
    PastGreeting();

    station->Pins().PickSet(1);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin16");
    station->Pins().PickSet(0);
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].title, "Warning");
    EXPECT_NE(panel.boxes[0].text.find("KSO9"), std::string::npos);
    EXPECT_NE(panel.boxes[0].text.find("left as it was"), std::string::npos);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin16");  // unchanged
    // Picking does not store the set number; the template comes with "New".
    station->Pins().PickSet(2);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin01");
    EXPECT_EQ(SetupControls().pins.codes[1], "0x20");
    EXPECT_EQ(Reopen()->ReadInt("PinDefNum"), 0);
}

TEST_F(PinStationTest, StoredFileSourceShowsIniWithTheListDisabled) {
    WritePinSets(kThreeSets);
    Preset([](SettingsStore& s) { s.WriteInt("PinDefSource", 2); });
    Start();
    EXPECT_EQ(SetupControls().pinDefSourceItem, 2);
    EXPECT_FALSE(SetupControls().pinSetListEnabled);
    EXPECT_TRUE(panel.dialogs.empty());  // no file asked for at start-up
    EXPECT_EQ(Reopen()->ReadInt("PinDefSource"), 2);

    PastGreeting();
    station->SetupLogic().Open();
    ASSERT_TRUE(station->SetupLogic().Ok());
    EXPECT_EQ(Reopen()->ReadInt("PinDefSource"), 3);
}

TEST_F(PinStationTest, AddingANamedSetAppendsItBeforeNew) {
    WritePinSets(
        "[SetNum]\nNum=2\n[PinSet]\n"
        "0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Default\n"
        "1=16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,KQ8 EVB\n");
    Start();
    PastGreeting();
    station->Pins().PickSet(2);  // "New": the template
    editor.pinAnswers = {"Pin22"};
    station->Pins().EditPin(1, 4);  // KSO4
    ASSERT_EQ(editor.shownPins.size(), 1u);
    EXPECT_EQ(editor.shownPins[0], (std::pair<std::string, std::string>{"KSO4", "Pin05"}));
    EXPECT_EQ(SetupControls().pins.labels[4], "Pin22");
    EXPECT_EQ(SetupControls().pins.codes[4], "0x43");
    EXPECT_TRUE(PinDefinesSent().empty());  // the board hears of it on Setup OK only

    editor.nameAnswers = {"Alpha"};
    station->Pins().StoreOnSetupOk();
    auto ini = IniDocument(PinSetText());
    EXPECT_EQ(ini.Read("SetNum", "Num", ""), "3");
    EXPECT_EQ(ini.Read("PinSet", "2", ""), "01,02,03,04,22,06,07,08,09,10,11,12,13,14,15,Alpha");
    EXPECT_EQ(
        SetupControls().pins.setEntries,
        (std::vector<std::string>{"0 : Default", "1 : KQ8 EVB", "2 : Alpha", kPinSetNewEntry}));
    EXPECT_EQ(SetupControls().pins.setIndex, 2);
    EXPECT_EQ(Reopen()->ReadInt("PinDefNum"), 2);
    EXPECT_EQ(PinDefinesSent(), (std::vector<std::vector<uint8_t>>{
                                    Pins({1, 2, 3, 4, 22, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})}));
    EXPECT_EQ(board->KbsPinDefinition()[4], 22);
}

TEST_F(PinStationTest, CancelledNameStoresNothingAndReturnsToTheStoredSet) {
    WritePinSets(kThreeSets);
    Preset([](SettingsStore& s) { s.WriteInt("PinDefNum", 1); });
    Start();
    PastGreeting();
    const std::string before = PinSetText();
    station->Pins().PickSet(3);
    station->Pins().StoreOnSetupOk();  // the name dialog is cancelled
    EXPECT_EQ(editor.namesAsked, 1);
    EXPECT_EQ(PinSetText(), before);
    EXPECT_EQ(SetupControls().pins.setIndex, 1);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin16");
    EXPECT_EQ(PinDefinesSent().size(), 1u);
    EXPECT_EQ(PinDefinesSent()[0][0], 16);
}

TEST_F(PinStationTest, ExistingSetKeepsItsNameAndTheRestOfTheFile) {
    WritePinSets(std::string("; bench sets\r\n") + kThreeSets);
    Start();
    PastGreeting();
    station->Pins().PickSet(1);
    editor.pinAnswers = {"Pin01"};
    station->Pins().EditPin(1, 14);
    station->Pins().StoreOnSetupOk();
    auto ini = IniDocument(PinSetText());
    EXPECT_EQ(ini.Read("PinSet", "1", ""), "16,17,18,19,20,21,22,23,24,25,26,27,28,29,01,KQ8 EVB");
    EXPECT_EQ(ini.Read("PinSet", "0", ""), "01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Default");
    EXPECT_EQ(PinSetText().rfind("; bench sets\r\n", 0), 0u);
    EXPECT_EQ(Reopen()->ReadInt("PinDefNum"), 1);
    EXPECT_EQ(PinDefinesSent().back()[14], 1);
}

TEST_F(PinStationTest, UnreadablePinSetFileIsNeverReplaced) {
    // A folder where the file should be cannot be read, and so must not be written over.
    std::filesystem::create_directory(iniDir / "PinSet.ini");
    Start();
    PastGreeting();
    station->Pins().PickSet(1);  // "New"
    editor.nameAnswers = {"Alpha"};
    station->Pins().StoreOnSetupOk();
    EXPECT_TRUE(std::filesystem::is_directory(iniDir / "PinSet.ini"));
    ASSERT_FALSE(panel.boxes.empty());
    EXPECT_EQ(panel.boxes.back().title, "Warning");
    // The board still gets the pins the grid shows.
    EXPECT_EQ(PinDefinesSent().back(), Pins({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

TEST_F(PinStationTest, GridEditsOnlyTheLabelRowOfAnEditableSource) {
    WritePinSets(kThreeSets);
    UseBoard(1, 1);  // pin-code board
    Start();
    PastGreeting();
    editor.pinAnswers = {"Pin30", "Pin30", "Pin30"};
    station->Pins().EditPin(0, 3);  // signal row
    station->Pins().EditPin(2, 3);  // code row
    EXPECT_TRUE(editor.shownPins.empty());
    station->Pins().SelectSource(0);  // eFlash on a pin-code board becomes INI
    EXPECT_EQ(SetupControls().pinDefSourceItem, 2);
    station->Pins().EditPin(1, 3);
    EXPECT_EQ(SetupControls().pins.labels[3], "Pin30");
    EXPECT_EQ(SetupControls().pins.codes[3], "0x95");
    EXPECT_EQ(SetupControls().pins.gridRows, 3);
}

}  // namespace
}  // namespace quillon::test

namespace quillon::test {
namespace {

TEST(PinSetFileTest, CountsThatAreNoSmallNumberMeanOneSet) {
    testing::TempDir folder;
    const PinSetFile file{IniFolder(folder.Path())};
    const auto count = [&](const std::string& num) {
        testing::WriteFileBytes(folder / "PinSet.ini", "[SetNum]\nNum=" + num + "\n");
        return file.Count();
    };
    EXPECT_EQ(count("3"), 3);
    EXPECT_EQ(count("0"), 0);
    EXPECT_EQ(count("9999"), 9999);
    EXPECT_EQ(count("12345"), 1);
    EXPECT_EQ(count("-2"), 1);
    EXPECT_EQ(count("two"), 1);
    EXPECT_EQ(count(""), 1);
    testing::WriteFileBytes(folder / "PinSet.ini", "[PinSet]\n0=x\n");
    EXPECT_EQ(file.Count(), 1);
    EXPECT_EQ(file.ListEntries(), (std::vector<std::string>{"0 : ", kPinSetNewEntry}));
}

}  // namespace
}  // namespace quillon::test
