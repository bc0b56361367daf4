#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "config/settings_export.h"
#include "sim/virtual_board.h"
#include "station_fixture.h"
#include "tests/support/fresh_settings_summary.h"
#include "tests/support/station_probe.h"

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

const Lines& kFreshSummary = quillon::testing::FreshSettingsSummary();

TEST_F(StationTest, FreshStoreGivesTheSummaryAndTheStartupState) {
    auto& s = Start();
    EXPECT_EQ(panel.mainLog, kFreshSummary);
    EXPECT_TRUE(panel.boxes.empty());
    EXPECT_EQ(panel.statusBoard, "USB Device 'Vessa' Plug-Out");
    EXPECT_EQ(panel.statusTarget, "Kavo EC Power-Off");
    EXPECT_EQ(panel.page, Page::Main);
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_TRUE(s.MainPageActive());
    EXPECT_FALSE(s.InFlashMode());
    EXPECT_EQ(s.ChipIdStrings()[0], "0");

    const auto& c = s.Controls();
    EXPECT_EQ(c.window.caption, "KavoEC_Quillon 4.0.0.8");
    EXPECT_EQ(c.window.aboutVersion, "Version : 4.0.0.8");
    EXPECT_EQ(c.window.height, 625);
    EXPECT_TRUE(c.window.logVisible);
    EXPECT_FALSE(c.window.dualFlashButtonsVisible);
    EXPECT_TRUE(c.main.checkErase && c.main.checkCheck && c.main.checkProgram &&
                c.main.checkVerify);
    EXPECT_FALSE(c.main.skipFF);
    EXPECT_FALSE(c.main.writeStatus.visible);
    EXPECT_EQ(c.setup.pinDefSourceItem, 2);
    EXPECT_TRUE(c.setup.pinSetListEnabled);
    EXPECT_EQ(c.setup.connectModeItem, 1);
    EXPECT_EQ(c.setup.allocationItem, 0);
    EXPECT_EQ(c.setup.assignedAddress, "0");
    EXPECT_EQ(c.setup.specialWaveItem, 1);
    EXPECT_EQ(c.setup.smbSpeedItem, 0);
    EXPECT_EQ(c.setup.quickModeItem, 0);
    EXPECT_EQ(c.setup.pdI2cAddress, "80");
    EXPECT_TRUE(c.setup.breakAt0);
    EXPECT_EQ(c.setup.keyCells[0], "00");
    EXPECT_FALSE(c.setup.keyGridEnabled);  // follows KeyMatch (off)

    const auto& cache = s.Cache();
    EXPECT_EQ(cache.flashblock, 8);
    EXPECT_EQ(cache.eraseType, 1);
    EXPECT_EQ(cache.sectorOffset, "0");
    EXPECT_EQ(cache.sectorSize, 64);
    EXPECT_EQ(cache.pageWriteSize, 1);
    EXPECT_EQ(cache.pdI2cAddress, 0x80);
}

// The settings file afterwards holds every default, in the load's order: its export.
TEST_F(StationTest, FreshStoreHoldsEveryDefault) {
    Start();
    station.reset();
    EXPECT_EQ(RegistryExportLines(*Reopen()),
              (Lines{
                  "REGEDIT4",
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kavo\\Vessa_Quillon]",
                  "\"PinDefSource\"=dword:00000003",
                  "\"ConnectMode\"=dword:00000002",
                  "\"Allocation\"=dword:00000001",
                  "\"AssignedAddress\"=\"0\"",
                  "\"Flashblock\"=dword:00000008",
                  "\"CommandMode_ReadID\"=dword:00000000",
                  "\"CommandMode_Read\"=dword:00000000",
                  "\"CommandMode_Erase\"=dword:00000000",
                  "\"CommandMode_Write\"=dword:00000000",
                  "\"EraseType\"=dword:00000001",
                  "\"SectorOffset\"=\"0\"",
                  "\"SkipFFChecked\"=dword:00000000",
                  "\"SectorSize\"=dword:00000040",
                  "\"PageWriteSize\"=dword:00000001",
                  "\"ShowMessage\"=dword:00000001",
                  "\"DualFlash\"=dword:00000000",
                  "\"CheckBox_Check\"=dword:00000001",
                  "\"CheckBox_Erase\"=dword:00000001",
                  "\"CheckBox_Program\"=dword:00000001",
                  "\"CheckBox_Verify\"=dword:00000001",
                  "\"SpecialForm\"=dword:00000000",
                  "\"PinDefNum\"=dword:00000000",
                  "\"InternalClock\"=dword:00000000",
                  "\"ExtraECChipID\"=hex:",
                  "\"SpecialWave\"=dword:00000002",
                  "\"USBTimeOutSec\"=dword:00000078",
                  "\"BreakAt0\"=dword:00000001",
                  "\"RomKey\"=dword:00000000",
                  "\"Key0\"=dword:00000000",
                  "\"Key1\"=dword:00000000",
                  "\"Key2\"=dword:00000000",
                  "\"Key3\"=dword:00000000",
                  "\"Key4\"=dword:00000000",
                  "\"Key5\"=dword:00000000",
                  "\"Key6\"=dword:00000000",
                  "\"Key7\"=dword:00000000",
                  "\"UnprotectTheLast1K\"=dword:00000000",
                  "\"UnprotectKeyMatch\"=dword:00000000",
                  "\"SMBusSpeed\"=dword:00000001",
                  "\"QuickMode\"=dword:00000000",
                  "\"PDI2CAddress\"=dword:00000080",
                  "\"SwitchRom\"=dword:00000000",
                  "\"DesignatedEflashSizeKB\"=dword:00000000",
                  "\"ReadEFlashID16Bytes\"=dword:00000000",
                  "\"ShowWriteStatus\"=dword:00000000",
                  "\"FastFlash\"=dword:00000000",
              }));
}

TEST_F(StationTest, SecondStartIsQuietAboutDefaultsAndRunsOnce) {
    Start();
    const auto valuesAfterFirst = Reopen()->Enumerate().size();
    station->RunStartup();  // a later activation
    EXPECT_EQ(panel.mainLog, kFreshSummary);
    station.reset();
    panel.mainLog.clear();
    Start();
    EXPECT_EQ(panel.mainLog, kFreshSummary);
    EXPECT_EQ(Reopen()->Enumerate().size(), valuesAfterFirst);
}

TEST_F(StationTest, UnknownConnectModeIsKeptWithoutLine) {
    Preset([](SettingsStore& s) { s.WriteInt("ConnectMode", 7); });
    auto& s = Start();
    EXPECT_EQ(panel.mainLog.front(), "Allocation : From Top");
    EXPECT_EQ(s.Controls().setup.connectModeItem, -1);
    EXPECT_EQ(Reopen()->ReadInt("ConnectMode"), 7);
}

TEST_F(StationTest, FlashblockWithoutSizeNameIsCachedSilently) {
    Preset([](SettingsStore& s) { s.WriteInt("Flashblock", 3); });
    auto& s = Start();
    EXPECT_EQ(s.Cache().flashblock, 3);
    for (const auto& line : panel.mainLog) {
        EXPECT_EQ(line.find("Flash Size"), std::string::npos) << line;
    }
}

TEST_F(StationTest, PageWriteSizeOutsideTheListMeansNone) {
    Preset([](SettingsStore& s) { s.WriteInt("PageWriteSize", 512); });
    auto& s = Start();
    EXPECT_EQ(panel.mainLog.back(), "Page Write Size : None");
    EXPECT_EQ(s.Cache().pageWriteSize, 1);

    station.reset();
    panel.mainLog.clear();
    Reopen()->WriteInt("PageWriteSize", 256);
    EXPECT_EQ(Start().Cache().pageWriteSize, 256);
    EXPECT_EQ(panel.mainLog.back(), "Page Write Size : 256 Bytes");
}

TEST_F(StationTest, SectorLayoutSkipsSectorSize) {
    Preset([](SettingsStore& s) { s.WriteText("SectorOffset", "4K*16,64K*7"); });
    Start();
    EXPECT_EQ(panel.mainLog[8], "SectorOffset : 4K*16,64K*7");
    EXPECT_EQ(panel.mainLog[9], "Page Write Size : None");
    EXPECT_FALSE(Reopen()->Exists("SectorSize"));
}

TEST_F(StationTest, LastFileWithoutPathIsCleared) {
    Preset([](SettingsStore& s) {
        s.WriteInt("LastFile", 1);
        s.WriteText("LastFileName", "a.bin");
    });
    auto& s = Start();
    EXPECT_EQ(panel.mainLog.back(), "Can't Find The File , Please Lode File Again !!");
    EXPECT_EQ(s.Controls().main.filePathText, "");
    EXPECT_EQ(s.Controls().main.filePathHint, "");
    auto store = Reopen();
    EXPECT_EQ(store->ReadText("LastFilePath"), "");
    EXPECT_TRUE(store->Exists("LastFilePath"));
    EXPECT_EQ(store->ReadText("LastFileName"), "");
}

// The last image file is read and merged again at start-up; its name stays in the path box.
TEST_F(StationTest, LastFileIsReloadedAtStartup) {
    const auto path = (dir / "a.bin").string();
    std::string bytes(0x10000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    testing::WriteFileBytes(path, bytes);
    Preset([&](SettingsStore& s) {
        s.WriteText("LastFilePath", path);
        s.WriteText("LastFileName", "a.bin");
    });
    auto& s = Start();
    EXPECT_EQ(s.Controls().main.filePathText, "a.bin");
    EXPECT_EQ(s.Controls().main.filePathHint, path);
    Lines expected = kFreshSummary;
    expected.insert(expected.end(), {"Use Block=1  (End:1 - Start:0)", "Start Address = 0x00000000",
                                     "Merge File ---> OK !"});
    EXPECT_EQ(panel.mainLog, expected);
    EXPECT_EQ(s.Image().imageBuffer, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(s.Image().usedBlockCount, 1u);
    EXPECT_TRUE(panel.boxes.empty());
    auto store = Reopen();
    EXPECT_EQ(store->ReadText("LastFilePath"), path);
    EXPECT_EQ(store->ReadText("LastFileName"), "a.bin");
}

// A last file that is gone, or cannot be read as a file, is forgotten: the path box and the
// stored name are cleared and the operator is told to load one again.
TEST_F(StationTest, LastFileThatCannotBeReadIsForgottenAtStartup) {
    std::filesystem::create_directory(dir / "folder.bin");
    for (const char* name : {"gone.bin", "folder.bin"}) {
        SCOPED_TRACE(name);
        station.reset();
        panel.mainLog.clear();
        const auto path = (dir / name).string();
        Preset([&](SettingsStore& s) {
            s.WriteText("LastFilePath", path);
            s.WriteText("LastFileName", name);
        });
        auto& s = Start();
        EXPECT_EQ(s.Controls().main.filePathText, "");
        EXPECT_EQ(s.Controls().main.filePathHint, "");
        EXPECT_EQ(panel.mainLog.back(), "Can't Find The File , Please Lode File Again !!");
        EXPECT_TRUE(s.Image().imageBuffer.empty());
        EXPECT_TRUE(panel.boxes.empty());
        auto store = Reopen();
        EXPECT_EQ(store->ReadText("LastFilePath"), "");
        EXPECT_EQ(store->ReadText("LastFileName"), "");
    }
}

// A sound file that the merge cannot place (an assigned address that is no hexadecimal number
// with "From Assigned") is forgotten as one that cannot be read: the merge's error ends the
// reload, and the operator is told to load a file again. The address itself was reported in
// its box when the load read it.
TEST_F(StationTest, LastFileWhoseMergeRaisesAnErrorIsForgottenAtStartup) {
    const auto path = (dir / "part.bin").string();
    testing::WriteFileBytes(path, std::string(0x1000, '\x5A'));
    Preset([&](SettingsStore& s) {
        s.WriteText("LastFilePath", path);
        s.WriteText("LastFileName", "part.bin");
        s.WriteInt("Allocation", 3);
        s.WriteText("AssignedAddress", "12G00");
    });
    auto& s = Start();
    const auto& log = panel.mainLog;
    EXPECT_EQ(std::count(log.begin(), log.end(), "Can't Find The File , Please Lode File Again !!"),
              1);
    EXPECT_EQ(s.Controls().main.filePathText, "");
    EXPECT_EQ(s.Controls().main.filePathHint, "");
    EXPECT_TRUE(s.Image().imageBuffer.empty());
    EXPECT_FALSE(s.Image().operationResult);
    ASSERT_EQ(panel.boxes.size(), 1u);  // the address, from the load's own reading of it
    auto store = Reopen();
    EXPECT_EQ(store->ReadText("LastFilePath"), "");
    EXPECT_EQ(store->ReadText("LastFileName"), "");
}

// A start-up merge that cannot get the flash's bytes beside the file fails, but the file
// itself is sound and stays remembered. On the first start the boundary read cannot even be
// asked for (SwitchRom, which it sends, is created later in the load); on a later start no
// board is bound yet while the settings load.
TEST_F(StationTest, LastFileWhoseMergeCannotGetTheFlashIsKept) {
    const auto path = (dir / "part.bin").string();
    testing::WriteFileBytes(path, std::string(0x1000, '\x5A'));
    for (const bool firstStart : {true, false}) {
        SCOPED_TRACE(firstStart ? "first start" : "later start");
        Preset([&](SettingsStore& s) {
            s.WriteText("LastFilePath", path);
            s.WriteText("LastFileName", "part.bin");
            s.WriteInt("Allocation", 3);
            s.WriteText("AssignedAddress", "100");
        });
        panel.mainLog.clear();
        auto& s = Start();
        const auto& log = panel.mainLog;
        EXPECT_EQ(std::count(log.begin(), log.end(), "Merge File ---> Failure !"), 1);
        EXPECT_EQ(
            std::count(log.begin(), log.end(), "Can't Find The File , Please Lode File Again !!"),
            0);
        EXPECT_EQ(s.Controls().main.filePathText, "part.bin");
        EXPECT_EQ(Reopen()->ReadText("LastFilePath"), path);
        EXPECT_FALSE(s.Image().operationResult);
        // Nothing that Program could write over the flash beside the file: a merge that broke
        // off keeps no image; one that could not read keeps it marked as incomplete.
        if (firstStart) {
            EXPECT_TRUE(s.Image().imageBuffer.empty());
        } else {
            EXPECT_TRUE(s.Image().besideFileUnread);
        }
        station.reset();
    }
}

TEST_F(StationTest, RomKeyBeforeFirstStartShowsTheBuiltInKey) {
    Preset([](SettingsStore& s) { s.WriteInt("RomKey", 1); });
    auto& s = Start();
    const std::array<std::string, 8> builtIn = {"3C", "A7", "51", "E9", "0B", "6D", "F2", "84"};
    EXPECT_EQ(s.Controls().setup.keyCells, builtIn);
    EXPECT_FALSE(s.Controls().setup.keyGridEnabled);
    EXPECT_FALSE(Reopen()->Exists("Key0"));

    // KeyMatch on enables the grid again.
    station.reset();
    Reopen()->WriteBool("UnprotectKeyMatch", true);
    EXPECT_TRUE(Start().Controls().setup.keyGridEnabled);
    EXPECT_TRUE(station->Controls().setup.eraseLast1KEnabled);
    EXPECT_FALSE(Reopen()->Exists("Key7"));
}

TEST_F(StationTest, SpecialWave3HasNoItemAndSelectsNone) {
    Preset([](SettingsStore& s) { s.WriteInt("SpecialWave", 3); });
    EXPECT_EQ(Start().Controls().setup.specialWaveItem, -1);
    EXPECT_EQ(Reopen()->ReadInt("SpecialWave"), 3);
}

TEST_F(StationTest, SpecialWaveWithoutAnyMeaningSelectsNothingAndStaysStored) {
    for (int stored : {0, 4, -1}) {
        station.reset();
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(file.string() + suffix);
        }
        Preset([&](SettingsStore& s) { s.WriteInt("SpecialWave", stored); });
        EXPECT_EQ(Start().Controls().setup.specialWaveItem, -1) << stored;
        EXPECT_EQ(Reopen()->ReadInt("SpecialWave"), stored);
    }
}

// Start-up values outside their lists: what each does to the summary, the controls and the
// cache, and that the stored value is left as it was.
struct OutOfRange {
    const char* name;
    int32_t value;
    std::function<void(const Station&, const Lines& log)> check;
};

TEST_F(StationTest, StartUpValuesOutOfRange) {
    const auto without = [](const Lines& log, const std::string& prefix) {
        return std::none_of(log.begin(), log.end(),
                            [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    };
    const OutOfRange cases[] = {
        {"Allocation", 0,
         [&](const Station& s, const Lines& log) {
             EXPECT_TRUE(without(log, "Allocation"));
             EXPECT_EQ(s.Controls().setup.allocationItem, -1);
         }},
        {"Allocation", 4,
         [&](const Station& s, const Lines& log) {
             EXPECT_TRUE(without(log, "Allocation"));
             EXPECT_EQ(s.Controls().setup.allocationItem, -1);
         }},
        {"EraseType", 5,
         [&](const Station& s, const Lines& log) {
             EXPECT_TRUE(without(log, "EraseType"));
             EXPECT_EQ(s.Cache().eraseType, SettingsCache{}.eraseType);  // as it was
         }},
        {"SMBusSpeed", 3,
         [](const Station& s, const Lines&) { EXPECT_EQ(s.Controls().setup.smbSpeedItem, -1); }},
        {"QuickMode", 3,  // no item 3: the group shows its last item
         [](const Station& s, const Lines&) { EXPECT_EQ(s.Controls().setup.quickModeItem, 2); }},
        {"PinDefSource", 0,
         [](const Station& s, const Lines&) {
             EXPECT_EQ(s.Controls().setup.pinDefSourceItem, -1);
             EXPECT_FALSE(s.Controls().setup.pinSetListEnabled);
         }},
        {"PinDefSource", 5,  // no item 4: the last, "INI", but the list stays off
         [](const Station& s, const Lines&) {
             EXPECT_EQ(s.Controls().setup.pinDefSourceItem, 2);
             EXPECT_FALSE(s.Controls().setup.pinSetListEnabled);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + std::to_string(c.value));
        station.reset();
        panel.mainLog.clear();
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(file.string() + suffix);
        }
        Preset([&](SettingsStore& s) { s.WriteInt(c.name, c.value); });
        const Station& s = Start();
        EXPECT_TRUE(panel.boxes.empty());
        c.check(s, panel.mainLog);
        EXPECT_EQ(Reopen()->ReadInt(c.name), c.value);
    }
}

TEST_F(StationTest, PdAddressKeepsItsLowByte) {
    Preset([](SettingsStore& s) { s.WriteInt("PDI2CAddress", 300); });
    auto& s = Start();
    EXPECT_EQ(s.Controls().setup.pdI2cAddress, "2C");
    EXPECT_EQ(s.Cache().pdI2cAddress, 0x2C);
}

TEST_F(StationTest, PdConnectModeClearsItsOptionsBeforeTheyAreRead) {
    Preset([](SettingsStore& s) {
        s.WriteInt("ConnectMode", 4);
        s.WriteBool("DualFlash", true);
        s.WriteBool("SkipFFChecked", true);
        s.WriteBool("UnprotectKeyMatch", true);
    });
    auto& s = Start();
    EXPECT_EQ(panel.mainLog.front(), "Connect Mode : Kavo USB for PD_CC/I2C");
    const auto& c = s.Controls();
    EXPECT_FALSE(c.main.skipFF);
    EXPECT_FALSE(c.main.skipFFVisible);
    EXPECT_FALSE(c.main.resetEcVisible);
    EXPECT_FALSE(c.setup.dualFlash);
    EXPECT_FALSE(c.window.dualFlashButtonsVisible);
    EXPECT_FALSE(c.setup.unprotectKeyMatch);
    EXPECT_FALSE(c.setup.allocationEnabled);
    auto store = Reopen();
    EXPECT_FALSE(store->ReadBool("DualFlash"));
    EXPECT_FALSE(store->ReadBool("SkipFFChecked"));
    EXPECT_FALSE(store->ReadBool("UnprotectKeyMatch"));
    EXPECT_FALSE(store->ReadBool("CheckBox_UnProtect"));
}

TEST_F(StationTest, CustomerPageMode) {
    Preset([](SettingsStore& s) { s.WriteInt("SpecialForm", 1); });
    const auto& w = Start().Controls().window;
    EXPECT_EQ(panel.page, Page::Customer);
    EXPECT_EQ(w.page, Page::Customer);
    EXPECT_FALSE(w.logVisible);
    EXPECT_FALSE(w.menusVisible);
    EXPECT_EQ(w.height, 470);
    EXPECT_FALSE(station->Controls().main.resetEcVisible);
}

TEST_F(StationTest, SettingErrorEndsTheLoadButTheStationRunsOn) {
    Preset([](SettingsStore& s) { s.WriteText("Flashblock", "8"); });
    // One box: the load stopped there, and the later steps that need a value it never
    // created (DualFlash, the board steps' SpecialWave read) end quietly.
    sim::VirtualBoard board(sim::Scenario{});
    const sim::InProcessBoard attached(board);
    station = MakeStation();
    station->RunStartup();
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].kind, MessageKind::Error);
    EXPECT_EQ(panel.boxes[0].title, "KavoEC_Quillon");
    EXPECT_EQ(panel.boxes[0].text, "Invalid data type for 'Flashblock'");
    EXPECT_EQ(panel.statusBoard, "USB Device 'Vessa' Plug-In");  // the board was greeted
    EXPECT_FALSE(station->Controls().window.dualFlashButtonsVisible);
    EXPECT_EQ(panel.mainLog.back().rfind("USB Device 'Vessa-", 0), 0u) << panel.mainLog.back();
    // DualFlash was never created: the board is set for the external flash, as the window
    // (without its flash-selection buttons) shows it.
    ASSERT_FALSE(board.Trace().empty());
    EXPECT_EQ(board.Trace()[0].header[0], 0xF2);
    EXPECT_EQ(board.Trace()[0].header[1], 0x20);
    EXPECT_EQ(board.Trace()[0].header[2], 11);
    EXPECT_FALSE(Probe(*station).EFlash().internalFlashSelected);
    EXPECT_TRUE(timer.IsEnabled());
}

TEST_F(StationTest, AssignedAddressThatIsNoNumberIsReportedAndReadAsZero) {
    Preset([](SettingsStore& s) { s.WriteText("AssignedAddress", "12G0"); });
    auto& s = Start();
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].kind, MessageKind::Error);
    EXPECT_EQ(panel.boxes[0].title, "KavoEC_Quillon");  // the application's box
    EXPECT_EQ(panel.boxes[0].text, "'0x12G0' is not a valid integer value");
    EXPECT_EQ(s.Cache().assignedAddress, 0u);
    EXPECT_EQ(s.Controls().setup.assignedAddress, "12G0");
    EXPECT_EQ(panel.mainLog, kFreshSummary);  // the rest of the load ran
}

TEST_F(StationTest, StoredValuesReachTheirControls) {
    Preset([](SettingsStore& s) {
        s.WriteInt("Key0", 0x0B);
        s.WriteInt("Key7", 255);
        s.WriteBool("DualFlash", true);
        s.WriteInt("ShowWriteStatus", 2);
        s.WriteText("AssignedAddress", "1E000");
        s.WriteBool("ShowMessage", false);
        s.WriteInt("QuickMode", 2);
    });
    const auto& c = Start().Controls();
    EXPECT_EQ(c.setup.keyCells[0], "0B");
    EXPECT_EQ(c.setup.keyCells[1], "00");
    EXPECT_EQ(c.setup.keyCells[7], "FF");
    EXPECT_TRUE(c.window.dualFlashButtonsVisible);
    EXPECT_TRUE(c.main.writeStatus.visible);
    EXPECT_EQ(station->Cache().assignedAddress, 0x1E000u);
    EXPECT_EQ(c.window.height, 470);
    EXPECT_EQ(c.setup.quickModeItem, 2);
}

}  // namespace
}  // namespace quillon
