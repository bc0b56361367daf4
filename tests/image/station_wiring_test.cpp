// The file commands as the window reaches them through the Station.
#include <gmock/gmock.h>

#include <algorithm>

#include "sim/in_process_driver.h"
#include "tests/image/image_fixture.h"
#include "tests/station/station_fixture.h"
#include "tests/support/station_probe.h"

namespace quillon {
namespace {

using test::FileBytes;

class StationImageTest : public StationTest {
protected:
    std::string WriteImage(const std::string& name, std::size_t size) {
        const auto bytes = FileBytes(size);
        const auto path = (dir / name).string();
        testing::WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    bool Logged(const std::string& line) const {
        return std::find(panel.mainLog.begin(), panel.mainLog.end(), line) != panel.mainLog.end();
    }
};

TEST_F(StationImageTest, StartUpReloadsAndMergesTheLastFileWithoutTheLoadLines) {
    const auto path = WriteImage("fw.bin", 0x20000);
    Preset([&](SettingsStore& s) {
        s.WriteInt("RomKey", 0);  // as a previous run left it: the merge reads it
        s.WriteText("LastFilePath", path);
        s.WriteText("LastFileName", "fw.bin");
    });
    auto& s = Start();
    EXPECT_EQ(s.Image().imageBuffer, FileBytes(0x20000));
    EXPECT_EQ(s.Image().usedBlockCount, 2u);
    EXPECT_TRUE(Logged("Use Block=2  (End:2 - Start:0)"));
    EXPECT_FALSE(Logged("Load File to Buffer ---> OK !"));
    EXPECT_EQ(s.Controls().main.filePathText, "fw.bin");
}

TEST_F(StationImageTest, AStartUpReloadOfAMissingFileForgetsIt) {
    const auto path = (dir / "gone.bin").string();
    Preset([&](SettingsStore& s) {
        s.WriteInt("RomKey", 0);
        s.WriteText("LastFilePath", path);
        s.WriteText("LastFileName", "gone.bin");
    });
    auto& s = Start();
    EXPECT_EQ(panel.mainLog.back(), "Can't Find The File , Please Lode File Again !!");
    EXPECT_TRUE(s.Image().imageBuffer.empty());
    EXPECT_FALSE(s.Image().operationResult);
    EXPECT_EQ(s.Controls().main.filePathText + s.Controls().main.filePathHint, "");
    EXPECT_EQ(Reopen()->ReadText("LastFilePath"), "");
}

TEST_F(StationImageTest, LoadReadsTheBoundaryBlockThroughTheStationsBoard) {
    sim::Scenario scenario;
    scenario.ec = sim::EcSpec{};
    scenario.ec->externalPart = "W25Q32FV";
    sim::VirtualBoard board(scenario);
    sim::InProcessBoard attach(board);
    station = std::make_unique<Station>(panel, clock, timer, StationOptions{file, {}},
                                        FixedDriverLoader(sim::InProcessDriverFunctions()));
    station->RunStartup();
    ASSERT_EQ(Probe(*station).Link().Bind(BoardLink::kDeviceIndex, BoardLink::kConnectParameter),
              1);
    board.ClearTrace();
    const auto path = WriteImage("fw.bin", 100 * 1024);
    station->RunHandler([&] { station->Files().Load(path); });
    ASSERT_EQ(board.Trace().size(), 1u);
    EXPECT_EQ(board.Trace()[0].header[1], 0x02);  // ReadBlock
    EXPECT_EQ(board.Trace()[0].header[2], 1);     // of block 1
    EXPECT_EQ(panel.mainLog.back(), "Merge File ---> OK !");
    EXPECT_EQ(station->Controls().main.filePathHint, path);
    EXPECT_GT(panel.controlsChanges, 0);

    // Confirm against what was merged, then Save it.
    Probe(*station).Image().readBuffer = Probe(*station).Image().imageBuffer;
    station->RequestStop();
    station->RunHandler([&] { station->Files().Confirm(); });
    EXPECT_FALSE(station->StopRequested());
    EXPECT_EQ(panel.mainLog.back(), "Confirm File and buffer ---> OK !");
    station->RunHandler([&] { station->Files().Save((dir / "saved.bin").string()); });
    EXPECT_EQ(std::filesystem::file_size(dir / "saved.bin"), 0x20000u);
}

}  // namespace
}  // namespace quillon
