#include "ui/operation_frame.h"

#include <algorithm>
#include <optional>

#include "ui/scoped_effects.h"

namespace quillon {

namespace {
constexpr const char* kFailedCause = "the board did not complete the step";

// Why a body that ran did not succeed, in the operator's words.
std::string FailureCause(const StepReport& report, const StopRequest& stop) {
    if (stop.Requested()) {
        return stop.Cause();
    }
    if (report.errors > 0) {
        return std::to_string(report.errors) + " bytes wrong";
    }
    return kFailedCause;
}
}  // namespace

StepReport OperationFrame::Run(const OperationSpec& spec, const std::function<StepReport()>& body) {
    const ConnectionCheckPause pause(timer1_);
    stop_.Clear();
    const BusyCursor busy(panel_, spec.cursor);
    if (spec.precondition && !spec.precondition()) {
        panel_.Warn(spec.refusal);
        const StepReport refused = StepReport::Refusal(spec.refusal);
        SetOperationResult(refused.result);
        return refused;
    }
    panel_.SetControlLevel(ControlLevel::FilesAndBelow, false);
    if (!spec.progressLine.empty()) {
        log_.Append(spec.progressLine);
    }
    StepReport report = body();
    if (spec.outcome) {
        WriteOutcome(*spec.outcome, report);
    }
    if (!report.Ok() && report.cause.empty()) {
        report.cause = FailureCause(report, stop_);
    }
    if (spec.afterOutcome) {
        spec.afterOutcome();
    }
    SetOperationResult(report.result);
    return report;
}

std::string OperationFrame::OutcomeLine(const OutcomeTexts& texts, const StepReport& report) {
    const std::string retries = std::to_string(report.retries);
    return report.Ok() ? texts.okName + " ---> OK ! " + retries
                       : texts.failureName + " ---> Failure ! " + retries;
}

void OperationFrame::WriteOutcome(const OutcomeTexts& texts, const StepReport& report) {
    log_.ReplaceLast(OutcomeLine(texts, report));
    if (texts.errorsLine && report.errors > 0) {
        log_.Append("Error " + std::to_string(report.errors) + " bytes");
    }
    if (texts.causeLine && !report.cause.empty()) {
        log_.Append(report.cause);
    }
}

void OperationFrame::CloseRun(const StepReport& report, const std::string& line) {
    log_.Append(line);
    panel_.SetLogColour(report.Ok() ? LogColour::Highlight : LogColour::Red);
    SetOperationResult(report.result);
}

bool OperationFrame::Progress(int percent) {
    panel_.SetProgress(std::clamp(percent, 0, 100));
    return Pump();
}

bool OperationFrame::Pump() {
    panel_.PumpEvents();
    return !stop_.Requested();
}

std::optional<int> OperationFrame::GaugePercent(long long done, long long total) {
    if (total <= 0) {
        return std::nullopt;
    }
    return static_cast<int>(std::clamp((done + 1) * 100 / total, 0LL, 100LL));
}

}  // namespace quillon
