#include "runtime/operation_frame.h"

#include <algorithm>
#include <optional>

#include "runtime/failure_cause.h"
#include "runtime/operation_frame_lines.h"
#include "runtime/scoped_effects.h"

namespace quillon {

StepReport OperationFrame::Run(const OperationSpec& spec, const std::function<StepReport()>& body) {
    const Millis started = clock_.Now();
    const auto seconds = [&] {
        return static_cast<double>((clock_.Now() - started).count()) / 1000.0;
    };
    const ConnectionCheckPause pause(timer1_);
    stop_.Clear();
    const BusyCursor busy(panel_, spec.cursor);
    if (spec.precondition && !spec.precondition()) {
        panel_.Warn(spec.refusal);
        StepReport refused = StepReport::Refusal(spec.refusal);
        refused.seconds = seconds();
        SetOperationResult(refused.result);
        return refused;
    }
    panel_.SetControlLevel(ControlLevel::FilesAndBelow, false);
    OperationLines lines(panel_, log_);
    if (!spec.name.empty() && !spec.progressLine.empty()) {
        lines.BeginWithLine(spec.name, spec.progressLine);
    } else if (!spec.progressLine.empty()) {
        log_.Append(spec.progressLine);
    }
    StepReport report = body();
    report.seconds = seconds();
    // The lines below the outcome line show the body's own cause, not one named here.
    const std::vector<std::string> below =
        spec.outcome ? LinesBelow(*spec.outcome, report) : std::vector<std::string>{};
    if (!report.Ok()) {
        report.cause = CauseOfFailure(FactsOf(report, spec));
    }
    if (spec.outcome) {
        const std::string& name = report.Ok() ? spec.outcome->okName : spec.outcome->failureName;
        lines.EndNamed(name, report, std::to_string(report.retries), below);
    } else {
        lines.EndUnwritten(report);
    }
    if (spec.afterOutcome) {
        spec.afterOutcome();
    }
    SetOperationResult(report.result);
    return report;
}

FailureFacts OperationFrame::FactsOf(const StepReport& report, const OperationSpec& spec) const {
    FailureFacts facts;
    facts.stated = report.cause;
    facts.retries = report.retries;
    facts.retryLimit = spec.retryLimit;
    if (stop_.Requested()) {
        facts.stopCause = stop_.Cause();
    }
    facts.errors = report.errors;
    return facts;
}

std::string OperationFrame::OutcomeLine(const OutcomeTexts& texts, const StepReport& report) {
    return quillon::OutcomeLine(report.Ok() ? texts.okName : texts.failureName,
                                OutcomeOf(report.result), std::to_string(report.retries));
}

std::vector<std::string> OperationFrame::LinesBelow(const OutcomeTexts& texts,
                                                    const StepReport& report) {
    std::vector<std::string> below;
    if (texts.errorsLine && report.errors > 0) {
        below.push_back(ErrorsLine(report.errors));
    }
    if (texts.causeLine && !report.cause.empty()) {
        below.push_back(report.cause);
    }
    return below;
}

void OperationFrame::CloseRun(const std::string& name, const StepReport& report,
                              std::string_view detail) {
    OperationLines(panel_, log_).Close(name, report, detail);
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
