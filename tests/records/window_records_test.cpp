// The window's records: every Auto Flash run and BurnRun pass of a Station, kept off the
// station's thread. A Station on an in-process virtual board playing the default bench.
#include <gtest/gtest.h>

#include "records/background_recorder.h"
#include "records/unit_report.h"
#include "sim/in_process_driver.h"
#include "sim/scenario_file.h"
#include "sim/virtual_board.h"
#include "station/station.h"
#include "tests/support/recording_panel.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli {
namespace {

TEST(WindowRecordsTest, AutoAndEachBurnRunPassAreRecorded) {
    testing::TempDir dir;
    const std::string image(65536, '\x5a');
    testing::WriteFileBytes(dir / "image.bin", image);
    sim::VirtualBoard board{
        sim::LoadScenarioFile(std::filesystem::path(QUILLON_SCENARIOS) / "default.ini")};
    sim::InProcessBoard attach{board};
    RecordingPanel panel;
    VirtualClock clock;
    ManualTimer timer;
    Station station(panel, clock, timer, StationOptions{dir / "s.sqlite", {}},
                    FixedDriverLoader(sim::InProcessDriverFunctions()));
    station.RunStartup();
    {
        BackgroundRecorder recorder(std::make_unique<FileRecordSink>(dir / "units.jsonl"),
                                    [](const std::string& line, bool) { ADD_FAILURE() << line; });
        recorder.Follow(station);
        station.RunHandler([&] {
            station.Cycle().Tick();
            station.TypeAutoDesk().Run();
            station.Files().Load((dir / "image.bin").string());
            EXPECT_EQ(station.Auto().Run().result, StepResult::Ok);
            station.Auto().BurnRun(2);
        });
    }
    std::vector<std::size_t> unreadable;
    const auto units = UnitsFromRecordFile(dir / "units.jsonl", std::nullopt, unreadable);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].action, "auto");
    EXPECT_EQ(units[1].action, "burnrun");
    EXPECT_EQ(units[2].action, "burnrun");
    EXPECT_EQ(units[2].pass, 1);
    for (const auto& unit : units) {
        EXPECT_EQ(unit.outcome, "ok");
        EXPECT_EQ(unit.imageSize, image.size());
        EXPECT_EQ(unit.imageCrc32, Crc32({image.begin(), image.end()}));
    }
}

}  // namespace
}  // namespace quillon::cli
