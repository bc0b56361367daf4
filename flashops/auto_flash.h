#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "board/board_commands.h"
#include "board/board_side_commands.h"
#include "chip/target_identity.h"
#include "config/settings_store.h"
#include "flashops/fast_flash_plan.h"
#include "image/image_state.h"
#include "runtime/clock.h"
#include "runtime/file_choice.h"
#include "runtime/message_log.h"
#include "runtime/operation_frame.h"
#include "runtime/operator_panel.h"
#include "runtime/step_report.h"
#include "runtime/step_result.h"
#include "runtime/stop_request.h"
#include "target/connection_flags.h"

namespace quillon {

// The steps Auto Flash, BurnRun and Backup chain, each run as if its own button had been
// pressed. Each returns its report; each flash step also leaves OperationResult set.
struct AutoFlashSteps {
    using Step = std::function<StepReport()>;
    Step typeAuto;     // flash auto-typing
    Step reloadImage;  // ReloadLastImage; failure: OperationResult false
    Step erase;        // erase
    Step blankCheck;   // blank check
    Step program;      // program
    Step verify;       // verify
    // Erase and program when the next step reads the same range at once (Check after Erase,
    // Verify after Program): they leave their proof to it. Empty: the plain steps.
    Step eraseProvenByCheck;
    Step programProvenByVerify;
    // An Auto unit of the four steps begins (with the steps that follow its erase) and ends:
    // the FastFlash plan lives in between. Empty: no plan.
    std::function<void(const UnitSteps&)> beginUnit;
    std::function<void()> endUnit;
    Step blockProcess;                     // the block process
    Step read;                             // read (honours Read Twice)
    std::function<void()> enterFlashMode;  // EnterFlashMode of the connection cycle
    // Save: writes ReadBuffer to the file the operator chose (nothing: the dialog was cancelled).
    std::function<StepReport(const FileChoice&)> saveReadBuffer;
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
    const TargetIdentity& identity;  // the identified flash's part rules
    BoardCommands& board;
    BoardSideCommands& boardSide;
};

// One step of a run as it came out, for the run record: the step's own report, with the
// seconds it took.
struct AutoStepReport {
    std::string name;  // "typeauto", "erase", "check", "program", "verify", "block-process"
    StepReport report;
};

// What a unit was made of, as the run held it when the unit ended: the chip as identified,
// the part chosen, the image as loaded (the bytes flashed, even when the file has changed
// since) and the board. A unit's record names these.
struct UnitFacts {
    std::string chipCode;
    std::string chipVersion;
    std::string flashId;  // the flash-ID bytes, space-separated
    std::string part;     // the device box, lines joined by " / "
    std::string imagePath;
    uint64_t imageSize = 0;
    std::optional<uint32_t> imageCrc32;  // nothing when no file is loaded
    int board = 0;                       // the download board's index

    bool operator==(const UnitFacts&) const = default;
};

// One unit: an Auto Flash run, or one BurnRun pass.
struct AutoUnitReport {
    std::vector<AutoStepReport> steps;
    double totalSeconds = 0;
    StepResult outcome = StepResult::Failed;
    int pass = 0;          // BurnRun pass counter (0 for Auto Flash)
    bool burnRun = false;  // a BurnRun pass, else an Auto Flash run
    UnitFacts facts;       // taken when the unit ends, as it goes to onUnitDone
};

// Whether Auto Flash loads the image file again before its steps.
enum class ImageReload {
    FromFile,    // the Auto button: the file may have changed since it was loaded
    JustLoaded,  // the caller has just loaded and merged it (the command line's flash)
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
    // The unit's report (its steps' reports, time and outcome) also goes to onUnitDone.
    // A file just loaded is not loaded again: that would read and merge it a second time.
    StepReport Run(ImageReload reload = ImageReload::FromFile);
    // BurnRun: the checked steps again and again until one fails, Stop is pressed, or (when
    // given) `passes` passes have succeeded; then the total time and the pass count. Each
    // pass's report goes to onUnitDone; the result is the run's, `retries` their sum.
    StepReport BurnRun(std::optional<int> passes);
    // Backup: only on the customer page (SpecialForm 1): Allocation := 2, TypeAuto, Read,
    // and Save to `file` when the read succeeded.
    StepReport Backup(const FileChoice& file);

    // Called when a unit is done (after Auto Flash, after each BurnRun pass that ran steps),
    // with the unit's facts as the run holds them then.
    std::function<void(const AutoUnitReport&)> onUnitDone;
    // The board the station works with, which a unit's facts name.
    int boardIndex = 0;

private:
    StepReport RunStep(const char* name, const AutoFlashSteps::Step& step, AutoUnitReport& report);
    // The four steps in their order, each with its box. An erase or program whose next step
    // is checked leaves its proof to that step, so no range is proven twice in one unit.
    struct OrderedStep {
        const char* name;
        bool checked;
        const AutoFlashSteps::Step* step;
    };
    std::array<OrderedStep, 4> StepOrder() const;
    void ComputeSkipFlags();
    StepReport Refuse(const std::string& text);
    StepReport SuccessTail(AutoUnitReport& report);
    StepReport FailureTail(AutoUnitReport& report);
    // Takes the unit's facts and hands the report to onUnitDone.
    void UnitDone(AutoUnitReport& report) const;
    // The report a run ends with: Ok, or Failed with the first failed step as its cause.
    static StepReport UnitReport(const AutoUnitReport& unit);
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
