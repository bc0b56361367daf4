#include <gtest/gtest.h>

#include "station_fixture.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/station_probe.h"

namespace quillon {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;

TEST_F(StationTest, ShowMessageTogglesHeightAndStoredValue) {
    auto& s = Start();
    const int before = panel.controlsChanges;
    s.RunHandler([&] { s.Messages().ToggleShowMessage(); });
    EXPECT_EQ(s.Controls().window.height, 470);
    EXPECT_FALSE(s.Controls().window.logVisible);
    EXPECT_FALSE(s.Controls().window.showMessage);
    EXPECT_FALSE(Reopen()->ReadBool("ShowMessage"));
    EXPECT_GT(panel.controlsChanges, before);

    s.RunHandler([&] { s.Messages().ToggleShowMessage(); });
    EXPECT_EQ(s.Controls().window.height, 625);
    EXPECT_TRUE(s.Controls().window.logVisible);
    EXPECT_TRUE(Reopen()->ReadBool("ShowMessage"));
}

TEST_F(StationTest, StopWithNothingRunningOnlyTurnsTheLogSilver) {
    auto& s = Start();
    const auto log = panel.mainLog;
    s.RequestStop();
    EXPECT_TRUE(s.StopRequested());
    EXPECT_EQ(panel.logColour, LogColour::Silver);
    EXPECT_EQ(panel.mainLog, log);
    EXPECT_TRUE(panel.boxes.empty());
    Probe(s).ClearStop();  // what the next operation does first
    EXPECT_FALSE(s.StopRequested());
}

TEST_F(StationTest, StepCheckBoxesAreStoredOnEveryClick) {
    auto& s = Start();
    s.OnCheckBoxClicked(StepCheckBox::Erase, false);
    s.OnCheckBoxClicked(StepCheckBox::Verify, false);
    s.OnCheckBoxClicked(StepCheckBox::SkipFF, true);
    EXPECT_FALSE(s.Controls().main.checkErase);
    EXPECT_TRUE(s.Controls().main.skipFF);
    {
        auto store = Reopen();  // already on disk, not only in memory
        EXPECT_FALSE(store->ReadBool("CheckBox_Erase"));
        EXPECT_TRUE(store->ReadBool("CheckBox_Check"));
        EXPECT_FALSE(store->ReadBool("CheckBox_Verify"));
        EXPECT_TRUE(store->ReadBool("SkipFFChecked"));
    }
    station.reset();
    const auto& main = Start().Controls().main;
    EXPECT_FALSE(main.checkErase);
    EXPECT_TRUE(main.checkProgram);
    EXPECT_TRUE(main.skipFF);
}

TEST_F(StationTest, SaveMessageWritesTheLogEndingWithTheSavingLine) {
    auto& s = Start();
    const auto target = (dir / "run.log").string();
    s.RunHandler([&] { s.Messages().SaveMessage(target); });

    std::string expected;
    for (const auto& line : panel.mainLog) {
        if (line.rfind("Save ", 0) != 0) {
            expected += line + "\n";
        }
    }
    expected += "Save Debug Message to File ---> Saving...\n";
    EXPECT_EQ(ReadFileBytes(target), expected);
    EXPECT_EQ(MessageMenu::SaveMessageDialog().filter, "[*.log]|*.log|[*.*]|*.*");
    EXPECT_EQ(MessageMenu::SaveMessageDialog().proposedName, "KavoEC_Quillon.log");
    const std::vector<std::string> tail(panel.mainLog.end() - 2, panel.mainLog.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Save Debug Message to File ---> OK !",
                                              "Save in '" + target + "'"}));
    EXPECT_TRUE(panel.customerLog.empty());  // not relevant for the customer page
}

TEST_F(StationTest, SaveMessageCancelled) {
    auto& s = Start();
    s.RunHandler([&] { s.Messages().SaveMessage(std::nullopt); });  // the dialog was cancelled
    EXPECT_EQ(panel.mainLog.back(), "Save Debug Message to File ---> Cancel !");
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        // Only the open settings store and its write-ahead log and index are there.
        EXPECT_EQ(entry.path().filename().string().rfind("settings.sqlite", 0), 0u) << entry.path();
    }
}

TEST_F(StationTest, FailedFileWriteIsShownInTheErrorBox) {
    auto& s = Start();
    s.RunHandler(
        [&] { s.Messages().SaveRegistryExport((dir / "no" / "such" / "folder.reg").string()); });
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].kind, MessageKind::Error);
    EXPECT_NE(panel.boxes[0].text.find("folder.reg"), std::string::npos);
    EXPECT_EQ(panel.mainLog.back(), "Save Kavo Quillon Setting to File ---> Saving...");
}

TEST_F(StationTest, SaveMessageOverAReadOnlyFileKeepsItAndShowsTheError) {
    auto& s = Start();
    const auto target = dir / "KavoEC_Quillon.log";
    WriteFileBytes(target, "yesterday's log\n");
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    testing::AsOrdinaryUser(dir.Path(), [&] {
        s.RunHandler([&] { s.Messages().SaveMessage(target.string()); });
        ASSERT_EQ(panel.boxes.size(), 1u);
        EXPECT_EQ(panel.boxes[0].kind, MessageKind::Error);
        EXPECT_EQ(panel.boxes[0].title, "KavoEC_Quillon");
        EXPECT_NE(panel.boxes[0].text.find(target.string()), std::string::npos);
        EXPECT_EQ(panel.mainLog.back(), "Save Debug Message to File ---> Saving...");
    });
    EXPECT_EQ(ReadFileBytes(target), "yesterday's log\n");
}

TEST_F(StationTest, SettingsErrorEndsOnlyTheHandler) {
    auto& s = Start();
    bool after = false;
    s.RunHandler([&] {
        s.Settings().ReadInt("PdI2cAddress");  // another spelling, same value
        s.Settings().ReadInt("NoSuchValue");
        after = true;
    });
    EXPECT_FALSE(after);
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].text, "Failed to get data for 'NoSuchValue'");
    s.RunHandler([&] { after = true; });
    EXPECT_TRUE(after);
}

TEST_F(StationTest, UnusableSettingsFileIsKeptAndTheStationRunsInMemory) {
    const std::string garbage = "not a database, and it must stay as it is\n";
    WriteFileBytes(file, garbage);
    auto& s = Start();
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].kind, MessageKind::Error);
    EXPECT_NE(panel.boxes[0].text.find(file.string()), std::string::npos);
    EXPECT_NE(panel.boxes[0].text.find("not a settings database"), std::string::npos);
    EXPECT_NE(panel.mainLog.front().find(file.string()), std::string::npos);
    EXPECT_FALSE(s.SettingsFile().has_value());

    // The window comes up with the defaults, and settings work for this run.
    const std::vector<std::string> summary(panel.mainLog.begin() + 1, panel.mainLog.end());
    EXPECT_EQ(summary.front(), "Connect Mode : Kavo USB for DBGR/SMB");
    EXPECT_EQ(summary.size(), 11u);
    s.OnCheckBoxClicked(StepCheckBox::Erase, false);
    EXPECT_FALSE(s.Settings().ReadBool("CheckBox_Erase"));
    EXPECT_EQ(ReadFileBytes(file), garbage);
}

// The start-up steps in their places, as the panel sees them: the pin desk applies the stored
// pin source while the settings load (asking for no file), the device box shows the stored
// part, the pin sets are filled once the status bar shows no board and while Timer1 is still
// off, then the device watch starts, and Timer1 runs last of all.
TEST_F(StationTest, StartupStepsRunInTheirPlaces) {
    testing::WritePinSetIni(iniDir.Path(),
                            "[SetNum]\nNum=2\n[PinSet]\n"
                            "0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Default\n"
                            "1=16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,Bench\n");
    Preset([](SettingsStore& s) {
        s.WriteText("LastFlashID1", "Winbond");
        s.WriteText("LastFlashID2", "W25Q80");
        s.WriteInt("PinDefSource", 2);  // "File": on a pin-number board the desk shows "INI"
        s.WriteInt("PinDefNum", 1);
    });
    station = MakeStation();
    const ControlState& controls = station->Controls();

    // What has newly come true, noted at each call the panel gets.
    std::vector<std::string> seen;
    bool sourceApplied = false;
    bool deviceShown = false;
    bool setsFilled = false;
    const auto look = [&] {
        std::vector<std::string> now;
        if (!sourceApplied && controls.setup.pinDefSourceItem == PinDefinitionDesk::kIni) {
            sourceApplied = true;
            now.push_back("pin source INI");
        }
        if (!deviceShown && !controls.main.deviceLines.empty()) {
            deviceShown = true;
            now.push_back("device box " + controls.main.deviceLines.front());
        }
        const auto& pins = controls.setup.pins;
        if (!setsFilled && !pins.setEntries.empty() && pins.setIndex >= 0) {
            setsFilled = true;
            now.push_back("pin sets " + pins.setEntries[static_cast<std::size_t>(pins.setIndex)] +
                          " " + pins.labels[0] + " while " + panel.statusBoard +
                          (timer.IsEnabled() ? ", Timer1 on" : ", Timer1 off"));
        }
        if (!now.empty()) {
            std::string joined = now[0];
            for (std::size_t i = 1; i < now.size(); ++i) {
                joined += " + " + now[i];
            }
            seen.push_back(joined);
        }
    };
    panel.onEvent = [&](const std::string& event) {
        look();
        if (event.rfind("status", 0) == 0) {
            seen.push_back(event);
        }
    };
    station->WatchDevicesWith([&] {
        look();
        seen.push_back("watch");
    });
    station->RunStartup();
    look();
    seen.push_back(timer.IsEnabled() ? "Timer1 on" : "Timer1 off");

    EXPECT_EQ(seen, (std::vector<std::string>{
                        "pin source INI",
                        "device box Winbond",
                        "status0 USB Device 'Vessa' Plug-Out",
                        "status1 Kavo EC Power-Off",
                        "pin sets 1 : Bench Pin16 while USB Device 'Vessa' Plug-Out, Timer1 off",
                        "watch",
                        "Timer1 on",
                    }));
    EXPECT_FALSE(controls.setup.pinSetListEnabled);  // the stored source is not "INI"
    EXPECT_TRUE(panel.dialogs.empty());              // no file is asked for at start-up
}

}  // namespace
}  // namespace quillon
