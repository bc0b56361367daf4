// Auto Flash and BurnRun as the window's buttons run them: a Station on an in-process virtual
// board playing the default bench. Verdicts about the flash come from the board's memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "config/sqlite_settings_store.h"
#include "sim/in_process_driver.h"
#include "sim/scenario_file.h"
#include "sim/virtual_board.h"
#include "station/station.h"
#include "tests/support/recording_panel.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

constexpr std::size_t kImageSize = 2 * 65536;

// The default bench, with another SPI part behind the controller when told.
sim::Scenario Bench(const std::string& externalPart) {
    auto scenario = sim::LoadScenarioFile(std::filesystem::path(QUILLON_SCENARIOS) / "default.ini");
    if (!externalPart.empty()) {
        scenario.ec->externalPart = externalPart;
    }
    return scenario;
}

struct StationAutoBench {
    explicit StationAutoBench(const std::string& externalPart = "") : board{Bench(externalPart)} {
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<uint8_t>(i * 7 + 3);  // every byte has a clear bit somewhere
        }
        testing::WriteFileBytes(imageFile, std::string(image.begin(), image.end()));
        auto flash = board.Flash(sim::FlashId::kExternalSpi);
        std::fill(flash.begin(), flash.end(), 0xFF);
    }

    // Start-up, one connection check, TypeAuto and Load, as an operator does before Auto.
    Station& Ready() {
        station =
            std::make_unique<Station>(panel, clock, timer, StationOptions{dir / "s.sqlite", {}},
                                      FixedDriverLoader(sim::InProcessDriverFunctions()));
        station->RunStartup();
        station->RunHandler([this] {
            station->Cycle().Tick();
            EXPECT_EQ(station->TypeAutoDesk().Run(), StepResult::Ok);
            station->Files().Load(imageFile.string());
        });
        EXPECT_FALSE(station->Image().imageBuffer.empty());
        board.ClearTrace();
        return *station;
    }
    void Steps(bool erase, bool check, bool program, bool verify) {
        station->OnCheckBoxClicked(StepCheckBox::Erase, erase);
        station->OnCheckBoxClicked(StepCheckBox::Check, check);
        station->OnCheckBoxClicked(StepCheckBox::Program, program);
        station->OnCheckBoxClicked(StepCheckBox::Verify, verify);
    }
    StepResult Press(const std::function<StepReport()>& handler) {
        StepResult result = StepResult::Failed;
        EXPECT_TRUE(station->RunHandler([&] { result = handler().result; }));
        return result;
    }
    bool FlashHoldsTheImage() {
        auto flash = board.Flash(sim::FlashId::kExternalSpi);
        return std::equal(image.begin(), image.end(), flash.begin());
    }
    std::size_t Sent(uint8_t sub) const {
        return static_cast<std::size_t>(
            std::count_if(board.Trace().begin(), board.Trace().end(), [sub](const auto& entry) {
                return entry.header[0] != 0xF0 && (entry.header[1] & 0x0F) == sub;
            }));
    }
    std::vector<std::string> LastLines(std::size_t n) const {
        const auto& lines = station->Log().Lines();
        return {lines.end() - static_cast<std::ptrdiff_t>(n), lines.end()};
    }

    testing::TempDir dir;
    std::filesystem::path imageFile = dir / "image.bin";
    std::vector<uint8_t> image = std::vector<uint8_t>(kImageSize);
    sim::VirtualBoard board;
    sim::InProcessBoard attach{board};
    RecordingPanel panel;
    VirtualClock clock;
    ManualTimer timer;
    std::unique_ptr<Station> station;
};

class StationAutoTest : public ::testing::Test, protected StationAutoBench {};

TEST_F(StationAutoTest, AutoWithProgramAndVerifyOnlyWritesTheImage) {
    Ready();
    Steps(false, false, true, true);
    EXPECT_EQ(Press([this] { return station->Auto().Run(); }), StepResult::Ok);
    EXPECT_EQ(Sent(0x01), 0u);  // no erase command reached the board
    EXPECT_TRUE(FlashHoldsTheImage());
    EXPECT_EQ(LastLines(4),
              (std::vector<std::string>{
                  "Write Flash from buffer ---> OK ! 0", "Verify Flash with buffer ---> OK ! 0",
                  "Auto Flash ---> OK !", "Total Time : 00:00   (minute:second)"}));
    EXPECT_EQ(panel.logColour, LogColour::Highlight);
    EXPECT_TRUE(station->Image().operationResult);
}

// The start-up reloads the last file before the board is bound, so the flash's bytes after a
// 100 KB file cannot be read for its last block. Program must not write a guess over them;
// Auto reloads with the board there and keeps them.
TEST_F(StationAutoTest, AnImageMergedWithoutTheFlashBesideItIsNeverWritten) {
    constexpr std::size_t kFileSize = 100 * 1024;
    testing::WriteFileBytes(imageFile, std::string(image.begin(), image.begin() + kFileSize));
    auto flash = board.Flash(sim::FlashId::kExternalSpi);
    std::fill(flash.begin(), flash.end(), 0xA5);  // what the flash holds beside the file
    const auto settings = dir / "s.sqlite";
    auto start = [&] {
        station = std::make_unique<Station>(panel, clock, timer, StationOptions{settings, {}},
                                            FixedDriverLoader(sim::InProcessDriverFunctions()));
        station->RunStartup();
    };
    start();  // the first start creates the settings
    station.reset();
    auto store = SqliteSettingsStore::Open(settings);
    store->WriteText("LastFilePath", imageFile.string());
    store->WriteText("LastFileName", "image.bin");
    store.reset();
    start();
    EXPECT_EQ(station->Controls().main.filePathText, "image.bin");
    const auto& lines = station->Log().Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Merge File ---> Failure !"), 1);
    station->RunHandler([this] {
        station->Cycle().Tick();
        EXPECT_EQ(station->TypeAutoDesk().Run(), StepResult::Ok);
    });
    board.ClearTrace();
    for (auto write :
         {&FlashOperations::Program, &FlashOperations::Verify, &FlashOperations::BlockProcess}) {
        EXPECT_EQ(Press([&] { return (station->FlashOps().*write)(); }), StepResult::Refused);
        EXPECT_EQ(panel.boxes.back().text,
                  "The flash beside the image could not be read when the file was merged, so "
                  "the image is not complete. Please Open BIN File Again !");
    }
    EXPECT_TRUE(board.Trace().empty());
    EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](uint8_t b) { return b == 0xA5; }));

    Steps(true, true, true, true);
    EXPECT_EQ(Press([this] { return station->Auto().Run(); }), StepResult::Ok);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + kFileSize, flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + kFileSize, flash.begin() + 2 * 65536,
                            [](uint8_t b) { return b == 0xA5; }));
}

TEST_F(StationAutoTest, StopDuringTheBlockProcessEndsAutoInFailure) {
    Ready();
    station->Controls().main.blockProcess = true;
    panel.onPump = [this] { station->RequestStop(); };  // Stop as soon as events run
    EXPECT_EQ(Press([this] { return station->Auto().Run(); }), StepResult::Failed);
    EXPECT_EQ(station->Log().LastLine(), "Auto Flash ---> Failure !");
    EXPECT_EQ(panel.logColour, LogColour::Red);
    EXPECT_FALSE(FlashHoldsTheImage());  // the second block was never written
}

// Program reads each block back, so the part that no longer takes the image fails the
// program step, after its repetitions, and the pass ends there.
TEST_F(StationAutoTest, BurnRunProgramFailureInTheSecondPass) {
    Ready();
    // During the pause after the first pass a bit of the part sticks at 1.
    clock.onSleep = [this](Millis) {
        if (std::count(station->Log().Lines().begin(), station->Log().Lines().end(),
                       "Burn Times = 0") == 1) {
            sim::FaultRule stuck;
            stuck.kind = sim::FaultKind::kStuckBits;
            stuck.flash = sim::FlashId::kExternalSpi;
            stuck.address = 0x100;  // image byte 0x03: bits 2..7 clear
            stuck.bits = 0x80;
            board.AddFault(stuck);
            clock.onSleep = nullptr;
        }
    };
    EXPECT_EQ(Press([this] { return station->Auto().BurnRun(std::nullopt); }), StepResult::Failed);
    const auto& lines = station->Log().Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Burn Times = 0"), lines.end());
    // The program leaves its read-back to the verify that follows: the verify writes the
    // block again under the repeat rule, and the bit that stays stuck fails it.
    EXPECT_EQ(LastLines(6),
              (std::vector<std::string>{"Write Flash from buffer ---> OK ! 0",
                                        "Verify Flash with buffer ---> Failure ! 41",
                                        "Error 1 bytes", "Auto Burn ---> Failure !",
                                        "Total Time : 00:01   (minute:second)", "Burn Times = 1"}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Verify Flash with buffer ---> OK ! 0"), 1);
}

// Auto's status-register writes are keyed on the JEDEC manufacturer byte of the identified
// flash. An old SST part without a JEDEC ID answers FF FF FF to the JEDEC read; it is typed
// by its older ID BF 48 and takes the status byte the operator typed. An SST part with the
// JEDEC ID BF never gets one.
TEST(StationAutoStatus, StatusWritesFollowTheJedecManufacturerOfTheIdentifiedPart) {
    const struct {
        const char* part;
        bool written;
    } cases[] = {{"SST25VF512A", true}, {"SST25VF040B", false}, {"W25Q32FV", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        StationAutoBench bench(c.part);
        Station& station = bench.Ready();
        EXPECT_EQ(station.Controls().main.deviceLines.back(), c.part);
        const uint8_t before = bench.board.Ec()->External()->Status1();
        station.Controls().main.writeStatus.status1 = "1C";
        bench.Steps(false, false, false, false);
        EXPECT_EQ(bench.Press([&] { return station.Auto().Run(); }), StepResult::Ok);
        using Writes = std::vector<std::array<uint8_t, 3>>;
        Writes writes;  // WriteFlashStatus (sub-command 0x09): P1, P2, P3
        for (const auto& entry : bench.board.Trace()) {
            if (entry.header[0] != 0xF0 && (entry.header[1] & 0x0F) == 0x09) {
                writes.push_back({entry.header[2], entry.header[3], entry.header[4]});
            }
        }
        const Writes expected =
            c.written ? Writes{std::array<uint8_t, 3>{1, 0x1C, 0}} : Writes{};  // OneByte, 1C
        EXPECT_EQ(writes, expected);
        EXPECT_EQ(bench.board.Ec()->External()->Status1(), c.written ? 0x1C : before);
    }
}

TEST_F(StationAutoTest, BackupOfTheCustomerPageSavesWhatTheFlashHolds) {
    {
        auto store = SqliteSettingsStore::Open(dir / "s.sqlite");
        store->WriteInt("SpecialForm", 1);
    }
    Ready();
    auto flash = board.Flash(sim::FlashId::kExternalSpi);
    std::copy(image.begin(), image.end(), flash.begin());
    const auto saved = dir / "backup.bin";
    EXPECT_EQ(Press([&] { return station->Auto().Backup(saved.string()); }), StepResult::Ok);
    EXPECT_EQ(station->Settings().ReadInt("Allocation"), 2);
    const std::string bytes = testing::ReadFileBytes(saved);
    EXPECT_EQ(bytes, std::string(flash.begin(), flash.end()));
}

}  // namespace
}  // namespace quillon
