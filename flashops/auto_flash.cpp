#include "flashops/auto_flash.h"

#include <algorithm>
#include <cstdio>

#include "config/hex_text.h"
#include "config/setting_names.h"
#include "config/settings_cache.h"
#include "config/stored_modes.h"
#include "flashops/flash_kind.h"
#include "flashops/refusal_texts.h"
#include "runtime/operation_frame_lines.h"

namespace quillon {

namespace {

// The names of the closing outcome lines; the frame writes the lines themselves.
constexpr const char* kAutoFlash = "Auto Flash";
// A failed status write closes with an Auto Flash line so that the customer page's log, which
// shows only the lines of its keys, also shows that the unit failed after its "OK".
constexpr const char* kWriteStatusFailed = "Write Status failed";
constexpr const char* kAutoBurn = "Auto Burn";
constexpr const char* kBurnTimes = "Burn Times = ";
constexpr const char* kBackup = "Backup";
constexpr const char* kBackupNoSave = "Read Flash failed, nothing was saved";
// Causes in the reports (not log lines).
constexpr const char* kBackupNotHere = "Backup is a command of the customer page";
constexpr const char* kWriteStatusCause = "the flash's status registers were not written";
constexpr const char* kUnitFailedCause = "a step did not succeed";
constexpr const char* kReloadCause = "the image file could not be loaded again: ";
constexpr uint32_t kMaxStatusByte = 0xFF;

// The FastFlash plan of one Auto unit: begun before its first step, ended however it ends.
class AutoUnitPlan {
public:
    AutoUnitPlan(const AutoFlashSteps& steps, const UnitSteps& follows) : steps_(steps) {
        if (steps_.beginUnit) {
            steps_.beginUnit(follows);
        }
    }
    ~AutoUnitPlan() {
        if (steps_.endUnit) {
            steps_.endUnit();
        }
    }
    AutoUnitPlan(const AutoUnitPlan&) = delete;
    AutoUnitPlan& operator=(const AutoUnitPlan&) = delete;

private:
    const AutoFlashSteps& steps_;
};

std::string JoinedNonEmpty(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const auto& item : items) {
        if (item.empty()) {
            continue;
        }
        if (!out.empty()) {
            out += separator;
        }
        out += item;
    }
    return out;
}

bool IsAllFF(const std::vector<uint8_t>& buffer, std::size_t from, std::size_t count) {
    return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(from),
                       buffer.begin() + static_cast<std::ptrdiff_t>(from + count),
                       [](uint8_t byte) { return byte == 0xFF; });
}

}  // namespace

std::string TotalTimeLine(Millis elapsed) {
    const long long seconds = std::max<long long>(0, elapsed.count() / 1000);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return std::string("Total Time : ") + text + "   (minute:second)";
}

uint8_t WriteStatusByte(const std::string& text) {
    const uint32_t value = ParseHexText(text);
    if (value > kMaxStatusByte) {
        throw ConversionError("'0x" + text + "' is not a valid integer value");
    }
    return static_cast<uint8_t>(value);
}

AutoFlash::AutoFlash(AutoFlashContext context, AutoFlashControls controls, AutoFlashSteps steps)
    : c_(context), controls_(controls), steps_(std::move(steps)) {}

double AutoFlash::SecondsSince(Millis start) const {
    return static_cast<double>((c_.clock.Now() - start).count()) / 1000.0;
}

StepReport AutoFlash::RunStep(const char* name, const AutoFlashSteps::Step& step,
                              AutoUnitReport& report) {
    const Millis started = c_.clock.Now();
    StepReport result = step();
    result.seconds = SecondsSince(started);
    report.steps.push_back({name, result});
    return result;
}

void AutoFlash::UnitDone(AutoUnitReport& report) const {
    if (!onUnitDone) {
        return;
    }
    const ChipIdStrings& ids = c_.identity.chipIdStrings;
    report.facts = {
        ids[kSlotChipCode],
        ids[kSlotChipVersion],
        JoinedNonEmpty({ids[kSlotManufacturerId], ids[kSlotDeviceId], ids[kSlotJedecManufacturer],
                        ids[kSlotJedecMemoryType], ids[kSlotJedecCapacity]},
                       " "),
        JoinedNonEmpty(controls_.deviceLines, " / "),
        c_.image.imageFilePath,
        c_.image.imageFileSize,
        c_.image.imageFileCrc32,
        boardIndex};
    onUnitDone(report);
}

StepReport AutoFlash::UnitReport(const AutoUnitReport& unit) {
    StepReport report{unit.outcome, 0, 0, {}, unit.totalSeconds};
    for (const auto& step : unit.steps) {
        report.retries += step.report.retries;
        report.errors += step.report.errors;
        if (!step.report.Ok() && report.cause.empty() && !IsOk(unit.outcome)) {
            report.cause = step.name + ": " + step.report.cause;
        }
    }
    if (!report.Ok() && report.cause.empty()) {
        report.cause = kUnitFailedCause;
    }
    return report;
}

std::array<AutoFlash::OrderedStep, 4> AutoFlash::StepOrder() const {
    const bool eraseLeaves = controls_.checkCheck && steps_.eraseProvenByCheck;
    const bool programLeaves = controls_.checkVerify && steps_.programProvenByVerify;
    return {
        {{"erase", controls_.checkErase, eraseLeaves ? &steps_.eraseProvenByCheck : &steps_.erase},
         {"check", controls_.checkCheck, &steps_.blankCheck},
         {"program", controls_.checkProgram,
          programLeaves ? &steps_.programProvenByVerify : &steps_.program},
         {"verify", controls_.checkVerify, &steps_.verify}}};
}

void AutoFlash::ComputeSkipFlags() {
    ImageState& image = c_.image;
    image.blockSkipFlags.Clear(image.usedBlockCount);
    for (std::size_t b = 0; b < image.usedBlockCount; ++b) {
        // Only the bytes ImageBuffer holds count: a half last block (the file ends 32 KB into
        // it) is judged on its first half, which is all the operations write of it. A block
        // the buffer does not reach at all is never skipped.
        const std::size_t from = b * kBlockSize;
        if (from >= image.imageBuffer.size()) {
            image.blockSkipFlags.Set(b, false);
            continue;
        }
        const std::size_t count =
            std::min<std::size_t>(kBlockSize, image.imageBuffer.size() - from);
        image.blockSkipFlags.Set(b, IsAllFF(image.imageBuffer, from, count));
    }
}

StepReport AutoFlash::Refuse(const std::string& text) {
    c_.panel.Warn(text);
    c_.panel.SetBusyCursor(false, CursorArea::Window);
    c_.timer1.SetEnabled(true);
    return StepReport::Refusal(text);
}

StepReport AutoFlash::Run(ImageReload reload) {
    AutoUnitReport report;
    c_.frame.SetOperationResult(StepResult::Ok);
    c_.stop.Clear();
    c_.panel.SetBusyCursor(true, CursorArea::Window);
    c_.panel.SetLogColour(LogColour::Silver);
    const Millis runStarted = c_.clock.Now();

    if (c_.specialForm == kCustomerPageMode &&
        RunStep("typeauto", steps_.typeAuto, report).result == StepResult::Refused) {
        // The part's parameters could not be read: nothing is erased on the previous part's.
        report.totalSeconds = SecondsSince(runStarted);
        return FailureTail(report);
    }
    if (controls_.skipFF && ReadMode<Allocation>(c_.settings) != Allocation::FromAssigned) {
        ComputeSkipFlags();
        if (c_.flashblock == 0) {
            return Refuse(kChoiceFlashTypeFirst);
        }
    }
    if (c_.image.imageBuffer.empty() || controls_.deviceLines.empty()) {
        return Refuse(kOpenBinFirst);
    }
    const StepReport reloaded =
        reload == ImageReload::FromFile ? steps_.reloadImage() : StepReport::Done();
    if (!c_.frame.OperationResult()) {
        report.totalSeconds = SecondsSince(runStarted);
        StepReport failed = FailureTail(report);
        failed.cause = kReloadCause + reloaded.cause;
        return failed;
    }
    c_.panel.SetControlLevel(ControlLevel::FilesAndBelow, false);
    start_ = c_.clock.Now();

    if (controls_.blockProcess) {
        RunStep("block-process", steps_.blockProcess, report);
        report.totalSeconds = SecondsSince(runStarted);
        return c_.frame.OperationResult() ? SuccessTail(report) : FailureTail(report);
    }
    const AutoUnitPlan plan(
        steps_, UnitSteps{controls_.checkCheck, controls_.checkProgram, controls_.checkVerify});
    for (const auto& [name, checked, step] : StepOrder()) {
        if (checked) {
            RunStep(name, *step, report);
        }
        if (!c_.frame.OperationResult()) {
            report.totalSeconds = SecondsSince(runStarted);
            return FailureTail(report);
        }
    }
    report.totalSeconds = SecondsSince(runStarted);
    return SuccessTail(report);
}

StepReport AutoFlash::SuccessTail(AutoUnitReport& report) {
    c_.frame.CloseRun(kAutoFlash, StepReport::Done());
    c_.flags.flashModeReentry = false;
    steps_.enterFlashMode();
    c_.log.Append(TotalTimeLine(c_.clock.Now() - start_));
    c_.panel.SetBusyCursor(false, CursorArea::Window);
    const FlashKindFacts& flash = FactsOf(FlashKindOf(c_.settings));
    if (flash.leavesFlashMode) {
        c_.flags.inFlashMode = false;
    }
    if (flash.recordsOnBoard) {
        std::array<uint8_t, 4> firmware{};
        c_.boardSide.ReadBoardFirmware(firmware);
        c_.boardSide.WriteBoardFileSize(c_.image.imageFileSize);
    }
    // The status registers belong to the unit: its report and its result wait for them, so a
    // status write that was not made never leaves the unit recorded as good.
    report.outcome = StepResult::Ok;
    if (flash.statusRegisters) {
        bool written = false;
        try {
            written = WriteStatusRegisters();
        } catch (...) {
            // A field that is no status byte: nothing went out. The log and OperationResult
            // say so as for a refused write; the handler then ends with the conversion error.
            c_.frame.CloseRun(kAutoFlash, StepReport::Failure(kWriteStatusCause),
                              kWriteStatusFailed);
            report.outcome = StepResult::Failed;
            UnitDone(report);
            throw;
        }
        if (!written) {
            c_.frame.CloseRun(kAutoFlash, StepReport::Failure(kWriteStatusCause),
                              kWriteStatusFailed);
            report.outcome = StepResult::Failed;
        }
    }
    UnitDone(report);
    StepReport result = UnitReport(report);
    if (!result.Ok()) {
        result.cause = kWriteStatusCause;
    }
    return result;
}

bool AutoFlash::WriteStatusRegisters() {
    // Parts that take their status bytes another way are named by their JEDEC ID (an older
    // part without one had its JEDEC texts emptied when it was identified, so it gets the
    // writes the operator asked for).
    if (c_.identity.FlashPart().statusByOtherMeans || controls_.writeStatus1.empty()) {
        return true;
    }
    // Both fields are read before anything is sent: a field that is not a hexadecimal byte
    // ends the handler with the conversion-error box, and no status write goes out.
    const uint8_t first = WriteStatusByte(controls_.writeStatus1);
    if (controls_.writeStatus2.empty()) {
        return c_.board.WriteFlashStatus(StatusWriteMode::OneByte, first, 0).Succeeded();
    }
    const uint8_t second = WriteStatusByte(controls_.writeStatus2);
    return c_.board
        .WriteFlashStatus(controls_.writeStatusContinue ? StatusWriteMode::TwoBytesContinuous
                                                        : StatusWriteMode::TwoBytes,
                          first, second)
        .Succeeded();
}

StepReport AutoFlash::FailureTail(AutoUnitReport& report) {
    report.outcome = StepResult::Failed;
    c_.frame.CloseRun(kAutoFlash, UnitReport(report));
    c_.panel.SetBusyCursor(false, CursorArea::Window);
    UnitDone(report);
    return UnitReport(report);
}

bool AutoFlash::PauseBetweenPasses() {
    for (Millis slept{0}; slept < kBurnPause; slept += kPauseSlice) {
        c_.clock.Sleep(std::min(kPauseSlice, kBurnPause - slept));
        if (!c_.frame.Pump()) {
            return false;
        }
    }
    return true;
}

StepReport AutoFlash::BurnRun(std::optional<int> passes) {
    c_.frame.SetOperationResult(StepResult::Ok);
    c_.stop.Clear();
    c_.panel.SetBusyCursor(true, CursorArea::Window);
    if (c_.image.imageBuffer.empty() || controls_.deviceLines.empty()) {
        return Refuse(kOpenBinFirst);
    }
    c_.panel.SetControlLevel(ControlLevel::FilesAndBelow, false);
    start_ = c_.clock.Now();
    int counter = 0;
    bool failed = false;
    StepReport run = StepReport::Done();
    const auto order = StepOrder();
    while (!passes || counter < *passes) {
        AutoUnitReport report;
        report.pass = counter;
        report.burnRun = true;
        const Millis passStarted = c_.clock.Now();
        for (const auto& [name, checked, step] : order) {
            if (checked) {
                RunStep(name, *step, report);
            }
            if (!c_.frame.OperationResult()) {
                failed = true;
                break;
            }
        }
        report.totalSeconds = SecondsSince(passStarted);
        report.outcome = failed ? StepResult::Failed : StepResult::Ok;
        const StepReport pass = UnitReport(report);
        if (failed) {
            OperationLines(c_.panel, c_.log).Close(kAutoBurn, pass);
        }
        run.retries += pass.retries;
        run.errors += pass.errors;
        if (failed) {
            run.cause = pass.cause;
        }
        if (!report.steps.empty()) {
            UnitDone(report);
        }
        if (failed) {
            break;
        }
        c_.log.Append(kBurnTimes + std::to_string(counter));
        ++counter;
        if (passes && counter >= *passes) {
            break;
        }
        // With no step checked a pass does nothing and succeeds: Stop is what ends the run,
        // so the pause keeps events flowing and ends the loop once Stop was pressed.
        if (!PauseBetweenPasses()) {
            break;
        }
    }
    c_.panel.SetBusyCursor(false, CursorArea::Window);
    c_.log.Append(TotalTimeLine(c_.clock.Now() - start_));
    c_.log.Append(kBurnTimes + std::to_string(counter));
    run.seconds = SecondsSince(start_);
    if (!failed && c_.stop.Requested()) {
        run.cause = c_.stop.Cause();
    }
    if (failed || c_.stop.Requested()) {
        run.result = StepResult::Failed;
    }
    return run;
}

StepReport AutoFlash::Backup(const FileChoice& file) {
    if (c_.specialForm != kCustomerPageMode) {
        return StepReport::Refusal(kBackupNotHere);
    }
    WriteMode(c_.settings, Allocation::FromMedium);
    steps_.typeAuto();
    const StepReport read = steps_.read();
    if (!read.Ok()) {
        // A backup of a failed read is not the flash: nothing is saved, and the backup failed
        // whatever kept the read from its bytes (a refusal too).
        StepReport failure = read;
        failure.result = StepResult::Failed;
        OperationLines(c_.panel, c_.log).Close(kBackup, failure, kBackupNoSave);
        return read;
    }
    return steps_.saveReadBuffer(file);
}

}  // namespace quillon
