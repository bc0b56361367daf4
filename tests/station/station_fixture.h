#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "config/sqlite_settings_store.h"
#include "runtime/clock.h"
#include "runtime/window_timer.h"
#include "sim/in_process_driver.h"
#include "station/station.h"
#include "tests/support/pin_set_ini.h"
#include "tests/support/sequence_panel.h"
#include "tests/support/temp_dir.h"

namespace quillon {

// The pin sets of the station's parameter-file folder. The start-up selects set 0 (PinDefNum
// 0) and loads it without a log line.
inline constexpr const char* kStationPinSets =
    "[SetNum]\nNum=2\n[PinSet]\n"
    "0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Default\n"
    "1=16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,Bench\n";

// A Station on a settings file and a parameter-file folder of its own, with a recording panel.
// Its driver is the in-process virtual board's: no board answers unless a test attaches one.
class StationTest : public ::testing::Test {
protected:
    StationTest() { testing::WritePinSetIni(iniDir.Path(), kStationPinSets); }

    // Writes values into the settings file before the station opens it.
    void Preset(const std::function<void(SettingsStore&)>& write) {
        auto store = SqliteSettingsStore::Open(file);
        write(*store);
    }
    Station& Start() {
        station = MakeStation();
        station->RunStartup();
        return *station;
    }
    std::unique_ptr<Station> MakeStation() {
        return std::make_unique<Station>(panel, clock, timer, StationOptions{file, iniDir.Path()},
                                         FixedDriverLoader(sim::InProcessDriverFunctions()));
    }
    std::unique_ptr<SqliteSettingsStore> Reopen() { return SqliteSettingsStore::Open(file); }

    testing::TempDir dir;
    testing::TempDir iniDir;
    std::filesystem::path file = dir / "settings.sqlite";
    testing::SequencePanel panel;
    VirtualClock clock;
    ManualTimer timer;
    std::unique_ptr<Station> station;
};

}  // namespace quillon
