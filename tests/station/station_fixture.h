#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "config/sqlite_settings_store.h"
#include "sim/in_process_driver.h"
#include "station/station.h"
#include "tests/support/temp_dir.h"
#include "ui/clock.h"
#include "ui/connection_timer.h"
#include "ui/recording_panel.h"

namespace quillon {

// A Station on a settings file in a temporary folder, with a recording panel. Its driver is
// the in-process virtual board's: no board answers unless a test attaches one.
class StationTest : public ::testing::Test {
protected:
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
        return std::make_unique<Station>(panel, clock, timer, StationOptions{file, {}},
                                         FixedDriverLoader(sim::InProcessDriverFunctions()));
    }
    std::unique_ptr<SqliteSettingsStore> Reopen() { return SqliteSettingsStore::Open(file); }

    testing::TempDir dir;
    std::filesystem::path file = dir / "settings.sqlite";
    RecordingPanel panel;
    VirtualClock clock;
    ManualConnectionTimer timer;
    std::unique_ptr<Station> station;
};

}  // namespace quillon
