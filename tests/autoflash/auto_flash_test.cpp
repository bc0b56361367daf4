#include "flashops/auto_flash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "board/board_side_commands.h"
#include "config/hex_text.h"
#include "config/memory_settings_store.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "tests/support/ec_scenario.h"
#include "tests/support/recording_panel.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

// Auto Flash over an in-process board (for the status and file-size writes), with steps that
// log and report like the real ones, so the sequence itself is what is under test.
class AutoFlashTest : public ::testing::Test {
protected:
    AutoFlashTest() {
        settings.WriteInt("ConnectMode", 1);
        settings.WriteInt("Allocation", 1);
        settings.WriteText("LastFilePath", "image.bin");
        EXPECT_EQ(link.Bind(BoardLink::kDeviceIndex, BoardLink::kConnectParameter), 1);
        image.imageBuffer.assign(3 * kBlockSize, 0x5A);
        image.usedBlockCount = 3;
        image.imageFileSize = 3 * kBlockSize;
        deviceLines = {"Winbond", "W25Q32FV"};
        identity.chipIdStrings = {"8458", "01", "EF", "15",
                                  "EF",   "40", "16"};  // chip, then REMS, then JEDEC
        board.ClearTrace();
    }

    // A step that logs its progress and outcome lines and takes 1.5 s
    // (fails when `*failOnCall` is its call number, counted from 1, or on a stop request).
    AutoFlashSteps::Step Step(const std::string& name, const int* failOnCall = nullptr) {
        return [this, name, failOnCall] {
            calls.push_back(name);
            const int call = static_cast<int>(std::count(calls.begin(), calls.end(), name));
            log.Append(name + " ---> Working...");
            clock.Sleep(Millis(1500));
            const bool ok = (failOnCall == nullptr || call != *failOnCall) && !stop.Requested();
            log.ReplaceLast(name + (ok ? " ---> OK ! 2" : " ---> Failure ! 40"));
            frame.SetOperationResult(StepFrom(ok));
            return ok ? StepReport::Done(2) : StepReport::Failure("failed", 40);
        };
    }

    AutoFlashSteps Steps() {
        AutoFlashSteps steps;
        steps.typeAuto = [this] {
            calls.push_back("typeauto");
            return StepReport::Done();
        };
        steps.reloadImage = [this] {
            calls.push_back("reload");
            if (!reloadSucceeds) {
                log.Append("Can't Find The File , Please Lode File Again !!");
                frame.SetOperationResult(StepResult::Failed);
                return StepReport::Failure("the file is gone");
            }
            return StepReport::Done();
        };
        steps.erase = Step("Erase", &failErase);
        steps.blankCheck = Step("Check");
        steps.program = Step("Program");
        steps.verify = Step("Verify", &failVerify);
        steps.blockProcess = Step("BlockProcess");
        steps.read = Step("Read", &failRead);
        steps.enterFlashMode = [this] {
            calls.push_back("enter-flash-mode");
            reentryWhenEntered = flags.flashModeReentry;
        };
        steps.saveReadBuffer = [this](const FileChoice& file) {
            calls.push_back("save");
            savedTo = file;
            return StepReport::Done();
        };
        return steps;
    }

    AutoFlash& Make() {
        autoFlash = std::make_unique<AutoFlash>(
            AutoFlashContext{panel, log, clock, timer, stop, frame, settings, image, flashblock,
                             specialForm, flags, identity, commands, boardSide},
            AutoFlashControls{erase, check, program, verify, skipFF, blockProcess, status1, status2,
                              continue2, deviceLines},
            Steps());
        return *autoFlash;
    }

    // The WriteFlashStatus transfers (sub-command 0x09): P1, P2, P3 of each.
    std::vector<std::array<uint8_t, 3>> StatusWrites() const {
        std::vector<std::array<uint8_t, 3>> writes;
        for (const auto& entry : board.Trace()) {
            if (entry.header[0] == 0xF2 && entry.header[1] == 0x09) {
                writes.push_back({entry.header[2], entry.header[3], entry.header[4]});
            }
        }
        return writes;
    }
    bool BoardSideCommandSent() const {
        return std::any_of(board.Trace().begin(), board.Trace().end(),
                           [](const auto& entry) { return entry.header[0] == 0xF0; });
    }
    std::vector<std::string> LastLines(std::size_t n) const {
        const auto& lines = log.Lines();
        return {lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end()};
    }

    sim::VirtualBoard board{testing::EcScenario()};
    sim::InProcessBoard attach{board};
    RecordingPanel panel;
    MemorySettingsStore settings;
    MessageLog log{panel};
    VirtualClock clock;
    ManualTimer timer;
    StopRequest stop;
    ImageState image;
    OperationFrame frame{panel, log, timer, stop, image.operationResult, clock};
    BoardLink link{FixedDriverLoader(sim::InProcessDriverFunctions()), panel};
    BoardCommands commands{link, settings, log, timer};
    BoardSideCommands boardSide{link, log};
    ConnectionFlags flags;
    TargetIdentity identity;
    int32_t flashblock = 64;
    int32_t specialForm = 0;
    bool erase = true, check = true, program = true, verify = true;
    bool skipFF = false, blockProcess = false, continue2 = false;
    std::string status1, status2;
    std::vector<std::string> deviceLines;
    int failErase = 0, failVerify = 0, failRead = 0;
    bool reloadSucceeds = true;
    bool reentryWhenEntered = true;
    std::vector<std::string> calls;
    FileChoice savedTo;
    std::unique_ptr<AutoFlash> autoFlash;
};

TEST(TotalTimeLineTest, KeepsMinutesAndSecondsOnly) {
    EXPECT_EQ(TotalTimeLine(Millis((3 * 60 + 25) * 1000)), "Total Time : 03:25   (minute:second)");
    EXPECT_EQ(TotalTimeLine(Millis(((60 + 3) * 60 + 25) * 1000 + 999)),
              "Total Time : 03:25   (minute:second)");
    EXPECT_EQ(TotalTimeLine(Millis(0)), "Total Time : 00:00   (minute:second)");
}

TEST_F(AutoFlashTest, OnlyProgramAndVerifyRunThenOkAndTotalTime) {
    erase = false;
    check = false;
    flags.flashModeReentry = true;
    flags.inFlashMode = true;
    EXPECT_EQ(Make().Run().result, StepResult::Ok);
    EXPECT_EQ(calls, (std::vector<std::string>{"reload", "Program", "Verify", "enter-flash-mode"}));
    EXPECT_EQ(LastLines(4), (std::vector<std::string>{"Program ---> OK ! 2", "Verify ---> OK ! 2",
                                                      "Auto Flash ---> OK !",
                                                      "Total Time : 00:03   (minute:second)"}));
    EXPECT_FALSE(reentryWhenEntered);  // cleared before flash mode is entered again
    EXPECT_FALSE(flags.inFlashMode);
    EXPECT_EQ(panel.logColour, LogColour::Highlight);
    EXPECT_FALSE(panel.busy);
    EXPECT_TRUE(StatusWrites().empty());  // the write-status fields are empty
}

TEST_F(AutoFlashTest, FirstFailedStepEndsInRedWithoutTotalTime) {
    failVerify = 1;
    EXPECT_EQ(Make().Run().result, StepResult::Failed);
    EXPECT_EQ(calls, (std::vector<std::string>{"reload", "Erase", "Check", "Program", "Verify"}));
    EXPECT_EQ(log.LastLine(), "Auto Flash ---> Failure !");
    EXPECT_EQ(panel.logColour, LogColour::Red);
    EXPECT_FALSE(image.operationResult);

    calls.clear();
    failVerify = 0;
    failErase = 1;  // counted again from the cleared calls
    EXPECT_EQ(autoFlash->Run().result, StepResult::Failed);
    EXPECT_EQ(calls, (std::vector<std::string>{"reload", "Erase"}));
}

TEST_F(AutoFlashTest, FailedReloadGoesToTheFailureTail) {
    reloadSucceeds = false;
    EXPECT_EQ(Make().Run().result, StepResult::Failed);
    EXPECT_EQ(calls, (std::vector<std::string>{"reload"}));
    EXPECT_EQ(LastLines(2),
              (std::vector<std::string>{"Can't Find The File , Please Lode File Again !!",
                                        "Auto Flash ---> Failure !"}));
}

TEST_F(AutoFlashTest, PreconditionsRefuseWithTheirBoxes) {
    deviceLines.clear();
    EXPECT_EQ(Make().Run().result, StepResult::Refused);
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].text, "Please Open BIN File First or Choice Flash Type !");
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_FALSE(panel.busy);

    deviceLines = {"W25Q32FV"};
    skipFF = true;
    flashblock = 0;
    EXPECT_EQ(autoFlash->Run().result, StepResult::Refused);
    EXPECT_EQ(panel.boxes.back().text, "Please Choice Flash Type First !");
    EXPECT_TRUE(calls.empty());
}

TEST_F(AutoFlashTest, CustomerPageRunsTypeAutoFirst) {
    specialForm = 1;
    EXPECT_EQ(Make().Run().result, StepResult::Ok);
    EXPECT_EQ(calls.front(), "typeauto");
}

TEST_F(AutoFlashTest, BlockProcessReplacesTheFourSteps) {
    blockProcess = true;
    EXPECT_EQ(Make().Run().result, StepResult::Ok);
    EXPECT_EQ(calls, (std::vector<std::string>{"reload", "BlockProcess", "enter-flash-mode"}));
    EXPECT_EQ(log.Lines()[log.Lines().size() - 2], "Auto Flash ---> OK !");
}

TEST_F(AutoFlashTest, StopDuringTheBlockProcessEndsInFailure) {
    blockProcess = true;
    Make();
    // Stop pressed while the block process runs: it ends with failure.
    clock.onSleep = [this](Millis) { stop.Request(); };
    EXPECT_EQ(autoFlash->Run().result, StepResult::Failed);
    EXPECT_EQ(log.LastLine(), "Auto Flash ---> Failure !");
}

TEST_F(AutoFlashTest, SkipFlagsMarkAllFFBlocksAndLeaveAssignedAlone) {
    std::fill_n(image.imageBuffer.begin() + kBlockSize, kBlockSize, 0xFF);
    image.blockSkipFlags.Reset(64);
    skipFF = true;
    Make().Run();
    EXPECT_FALSE(image.blockSkipFlags.IsSkipped(0));
    EXPECT_TRUE(image.blockSkipFlags.IsSkipped(1));
    EXPECT_FALSE(image.blockSkipFlags.IsSkipped(2));

    // From Assigned: the flags stand as they are.
    settings.WriteInt("Allocation", 3);
    image.blockSkipFlags.Reset(64);
    image.blockSkipFlags.Set(0, true);
    autoFlash->Run();
    EXPECT_TRUE(image.blockSkipFlags.IsSkipped(0));
    EXPECT_FALSE(image.blockSkipFlags.IsSkipped(1));
}

TEST_F(AutoFlashTest, HalfLastBlockIsJudgedOnTheBytesTheBufferHolds) {
    // The image ends 32 KB into its second block, and that half is all 0xFF.
    image.imageBuffer.assign(kBlockSize + kBlockSize / 2, 0x11);
    std::fill(image.imageBuffer.begin() + kBlockSize, image.imageBuffer.end(), 0xFF);
    image.usedBlockCount = 3;  // one block more than the buffer reaches
    image.halfLastBlock = true;
    image.blockSkipFlags.Reset(64);
    skipFF = true;
    Make().Run();
    EXPECT_FALSE(image.blockSkipFlags.IsSkipped(0));
    EXPECT_TRUE(image.blockSkipFlags.IsSkipped(1));
    EXPECT_FALSE(image.blockSkipFlags.IsSkipped(2));  // nothing of it is held: never skipped
}

TEST_F(AutoFlashTest, StatusWritesFollowTheFields) {
    status1 = "1c";
    Make().Run();
    status2 = "02";
    autoFlash->Run();
    continue2 = true;
    autoFlash->Run();
    EXPECT_EQ(StatusWrites(), (std::vector<std::array<uint8_t, 3>>{
                                  {1, 0x1C, 0}, {2, 0x1C, 0x02}, {0x82, 0x1C, 0x02}}));
}

TEST_F(AutoFlashTest, NoStatusWritesForSstOrPdAndNoFileSizeOutsideSocketMode) {
    status1 = "1C";
    identity.chipIdStrings[4] = "BF";  // the JEDEC manufacturer byte
    Make().Run();
    EXPECT_TRUE(StatusWrites().empty());

    identity.chipIdStrings[4] = "EF";
    settings.WriteInt("ConnectMode", 4);
    flags.inFlashMode = true;
    autoFlash->Run();
    EXPECT_TRUE(StatusWrites().empty());
    EXPECT_FALSE(BoardSideCommandSent());
    EXPECT_TRUE(flags.inFlashMode);  // kept in mode 4
}

TEST_F(AutoFlashTest, SocketModeReadsFirmwareAndRecordsTheFileSize) {
    settings.WriteInt("ConnectMode", 3);
    Make().Run();
    ASSERT_FALSE(board.Trace().empty());
    EXPECT_EQ(board.Trace()[0].header[0], 0xF0);
    EXPECT_EQ(board.Trace()[0].header[1], 0x02);  // ReadBoardFirmware first
    EXPECT_TRUE(BoardSideCommandSent());
}

TEST_F(AutoFlashTest, NonHexStatusFieldGivesTheConversionErrorAndNoWrite) {
    status1 = "1C";
    status2 = "zz";
    std::vector<StepResult> units;
    Make().onUnitDone = [&](const AutoUnitReport& unit) { units.push_back(unit.outcome); };
    EXPECT_THROW(autoFlash->Run(), ConversionError);
    EXPECT_TRUE(StatusWrites().empty());
    // The log, its colour and OperationResult agree with the unit: failed, not OK.
    EXPECT_EQ(LastLines(2),
              (std::vector<std::string>{"Total Time : 00:06   (minute:second)",
                                        "Auto Flash ---> Failure ! Write Status failed"}));
    EXPECT_EQ(panel.logColour, LogColour::Red);
    EXPECT_FALSE(image.operationResult);
    status2 = "";
    status1 = "100";  // more than one byte
    EXPECT_THROW(autoFlash->Run(), ConversionError);
    EXPECT_TRUE(StatusWrites().empty());
    // The unit is reported once each time, and not as good: its status was never written.
    EXPECT_EQ(units, (std::vector<StepResult>{StepResult::Failed, StepResult::Failed}));
}

TEST_F(AutoFlashTest, AStatusWriteTheBoardRefusesFailsTheUnit) {
    status1 = "1C";
    sim::FaultRule refuse;
    refuse.kind = sim::FaultKind::kFailTransfer;
    refuse.opcode = 0xF2;
    refuse.subCommand = 0x09;  // WriteFlashStatus
    board.AddFault(refuse);
    std::vector<StepResult> units;
    Make().onUnitDone = [&](const AutoUnitReport& unit) { units.push_back(unit.outcome); };
    EXPECT_EQ(autoFlash->Run().result, StepResult::Failed);
    EXPECT_EQ(StatusWrites().size(), 1u);
    EXPECT_EQ(LastLines(3), (std::vector<std::string>{
                                "Auto Flash ---> OK !", "Total Time : 00:06   (minute:second)",
                                "Auto Flash ---> Failure ! Write Status failed"}));
    EXPECT_EQ(panel.logColour, LogColour::Red);
    // The customer page's log shows the failure after the OK too.
    EXPECT_EQ(panel.customerLog.back(), "Auto Flash ---> Failure ! Write Status failed");
    EXPECT_FALSE(image.operationResult);
    EXPECT_EQ(units, (std::vector<StepResult>{StepResult::Failed}));

    // Taken: the unit is good, reported once, after the write.
    board.ClearFaults();
    units.clear();
    EXPECT_EQ(autoFlash->Run().result, StepResult::Ok);
    EXPECT_EQ(units, (std::vector<StepResult>{StepResult::Ok}));
    EXPECT_EQ(LastLines(1), (std::vector<std::string>{"Flash Status Register(0x05):1C"}));
}

TEST_F(AutoFlashTest, BurnRunVerifyFailureInTheSecondPass) {
    failVerify = 2;
    EXPECT_EQ(Make().BurnRun(std::nullopt).result, StepResult::Failed);
    EXPECT_EQ(LastLines(4),
              (std::vector<std::string>{"Verify ---> Failure ! 40", "Auto Burn ---> Failure !",
                                        "Total Time : 00:13   (minute:second)", "Burn Times = 1"}));
    EXPECT_NE(std::find(log.Lines().begin(), log.Lines().end(), "Burn Times = 0"),
              log.Lines().end());
    // The failed pass is told ended with its cause, as a listener presents it.
    EXPECT_EQ(panel.operations.back().rfind("ended Auto Burn failed [verify: ", 0), 0u)
        << panel.operations.back();
    // One 1000 ms pause between the passes; no reload, no TypeAuto, no colour change.
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "reload"), 0);
    EXPECT_EQ(panel.logColour, LogColour::Normal);
}

TEST_F(AutoFlashTest, BurnRunEndsAfterTheGivenPasses) {
    erase = false;
    check = false;
    std::vector<int> passes;
    Make().onUnitDone = [&](const AutoUnitReport& unit) { passes.push_back(unit.pass); };
    EXPECT_EQ(autoFlash->BurnRun(3).result, StepResult::Ok);
    EXPECT_EQ(passes, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(LastLines(4),
              (std::vector<std::string>{"Verify ---> OK ! 2", "Burn Times = 2",
                                        "Total Time : 00:11   (minute:second)", "Burn Times = 3"}));
}

TEST_F(AutoFlashTest, BurnRunWithNoStepCheckedEndsOnStopAndPumpsDuringThePause) {
    erase = check = program = verify = false;
    int pumps = 0;
    panel.onPump = [&] {
        if (++pumps == 25) {
            stop.Request();
        }
    };
    EXPECT_EQ(Make().BurnRun(std::nullopt).result, StepResult::Failed);
    EXPECT_EQ(pumps, 25);
    EXPECT_EQ(log.LastLine(), "Burn Times = 3");  // two whole pauses, stopped in the third
    const auto& sleeps = clock.Sleeps();
    EXPECT_TRUE(std::all_of(sleeps.begin(), sleeps.end(),
                            [](Millis slice) { return slice <= AutoFlash::kPauseSlice; }));
}

TEST_F(AutoFlashTest, BackupOnlyOnTheCustomerPageAndNeverSavesAFailedRead) {
    const FileChoice kBackupFile = "/backups/unit.bin";
    EXPECT_EQ(Make().Backup(kBackupFile).result, StepResult::Refused);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(settings.ReadInt("Allocation"), 1);

    specialForm = 1;
    EXPECT_EQ(autoFlash->Backup(kBackupFile).result, StepResult::Ok);
    EXPECT_EQ(calls, (std::vector<std::string>{"typeauto", "Read", "save"}));
    EXPECT_EQ(savedTo, kBackupFile);  // the file the operator chose reaches the save
    EXPECT_EQ(settings.ReadInt("Allocation"), 2);

    calls.clear();
    failRead = 1;
    EXPECT_EQ(autoFlash->Backup(kBackupFile).result, StepResult::Failed);
    EXPECT_EQ(calls, (std::vector<std::string>{"typeauto", "Read"}));
    EXPECT_EQ(log.LastLine(), "Backup ---> Failure ! Read Flash failed, nothing was saved");
    EXPECT_EQ(panel.operations.back().rfind("ended Backup failed", 0), 0u)
        << panel.operations.back();
}

}  // namespace
}  // namespace quillon
