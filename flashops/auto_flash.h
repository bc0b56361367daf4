#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_side_commands.h"
#include "config/settings_store.h"
#include "image/image_state.h"
#include "target/connection_flags.h"
#include "ui/clock.h"
#include "ui/message_log.h"
#include "ui/operation_frame.h"
#include "ui/operator_panel.h"
#include "ui/step_result.h"
#include "ui/stop_request.h"

namespace quillon {

// The steps Auto Flash, BurnRun and Backup chain, each run as if its own button had been
// pressed. Each flash step leaves OperationResult set.
struct AutoFlashSteps {
    std::function<StepResult()> typeAuto;        // flash auto-typing
    std::function<void()> reloadImage;           // ReloadLastImage; failure: OperationResult false
    std::function<StepResult()> erase;           // erase
    std::function<StepResult()> blankCheck;      // blank check
    std::function<StepResult()> program;         // program
    std::function<StepResult()> verify;          // verify
    std::function<StepResult()> blockProcess;    // the block process
    std::function<StepResult()> read;            // read (honours Read Twice)
    std::function<void()> enterFlashMode;        // EnterFlashMode of the connection cycle
    std::function<StepResult()> saveReadBuffer;  // Save: asks for a file, writes ReadBuffer
};

// The main-page controls the sequence reads; the step boxes are set by the block process.
struct AutoFlashControls {
    bool& checkErase;
    bool& checkCheck;
    bool& checkProgram;
    bool& checkVerify;
    const bool& skipFF;
    const bool& blockProcess;
    const std::string& writeStatus1;              // Edit_WriteStatus1, one byte in hex, no prefix
    const std::string& writeStatus2;              // Edit_WriteStatus2
    const bool& writeStatusContinue;              // CheckBox_WriteStatusContinue2Bytes "continue"
    const std::vector<std::string>& deviceLines;  // Memo_Device
};

// What the sequence reads and writes besides its steps, all owned by the station.
struct AutoFlashContext {
    OperatorPanel& panel;
    MessageLog& log;
    Clock& clock;
    ConnectionTimer& timer1;
    StopRequest& stop;
    OperationFrame& frame;  // OperationResult
    SettingsStore& settings;
    ImageState& image;
    const int32_t& flashblock;   // Flashblock of the selected part, cached
    const int32_t& specialForm;  // SpecialForm (page mode), cached
    ConnectionFlags& flags;
    const std::array<std::string, 7>& chipIdStrings;  // slot 2: JEDEC manufacturer byte
    BoardCommands& board;
    BoardSideCommands& boardSide;
};

// One step of a run as it came out, for the run record.
struct AutoStepReport {
    std::string name;  // "erase", "check", "program", "verify", "block-process", "read"
    StepResult result = StepResult::Failed;
    double seconds = 0;
    std::string outcomeLine;  // the log line the step ended with ("... ---> OK ! 0")
};

// One unit: an Auto Flash run, or one BurnRun pass.
struct AutoUnitReport {
    std::vector<AutoStepReport> steps;
    double totalSeconds = 0;
    StepResult outcome = StepResult::Failed;
    int pass = 0;          // BurnRun pass counter (0 for Auto Flash)
    bool burnRun = false;  // a BurnRun pass, else an Auto Flash run
};

// The one-button production sequence (BitBtn_AutoRun, the customer page's AutoBurn), the
// repeated burning (File > BurnRun) and the customer page's Backup / Read Rom.
class AutoFlash {
public:
    static constexpr Millis kBurnPause{1000};
    // The BurnRun pause is slept in slices with events pumped between them, so Stop is seen.
    static constexpr Millis kPauseSlice{100};

    AutoFlash(AutoFlashContext context, AutoFlashControls controls, AutoFlashSteps steps);

    // Auto Flash: TypeAuto for the customer page, the skip flags, the preconditions, the
    // reload, then the block process or the checked steps, and the success or failure tail.
    StepResult Run();
    // BurnRun: the checked steps again and again until one fails, Stop is pressed, or (when
    // given) `passes` passes have succeeded; then the total time and the pass count.
    StepResult BurnRun(std::optional<int> passes);
    // Backup: only on the customer page (SpecialForm 1): Allocation := 2, TypeAuto, Read,
    // and Save when the read succeeded.
    StepResult Backup();

    // Called when a unit is done (after Auto Flash, after each BurnRun pass that ran steps).
    std::function<void(const AutoUnitReport&)> onUnitDone;

private:
    StepResult RunStep(const char* name, const std::function<StepResult()>& step,
                       AutoUnitReport& report);
    void ComputeSkipFlags();
    StepResult Refuse(const std::string& text);
    StepResult SuccessTail(AutoUnitReport& report);
    StepResult FailureTail(AutoUnitReport& report);
    // The status-register writes of the success tail. False when the board did not take them.
    bool WriteStatusRegisters();
    // Sleeps the pause between passes; false once Stop was pressed during it.
    bool PauseBetweenPasses();
    double SecondsSince(Millis start) const;

    AutoFlashContext c_;
    AutoFlashControls controls_;
    AutoFlashSteps steps_;
    Millis start_{0};
};

// "Total Time : MM:SS   (minute:second)": the elapsed time shown as a time of day, of
// which only minutes and seconds are kept (hours are lost).
std::string TotalTimeLine(Millis elapsed);

// The write-status field as one byte; throws ConversionError (the box every bad hex field
// gets) for a text that is not one to two hexadecimal digits.
uint8_t WriteStatusByte(const std::string& text);

}  // namespace quillon
