#include "ui/operation_frame.h"

#include <algorithm>
#include <optional>

#include "ui/scoped_effects.h"

namespace quillon {

StepResult OperationFrame::Run(const OperationSpec& spec,
                               const std::function<OperationOutcome()>& body) {
    const ConnectionCheckPause pause(timer1_);
    stop_.Clear();
    const BusyCursor busy(panel_, spec.cursor);
    if (spec.precondition && !spec.precondition()) {
        panel_.Warn(spec.refusal);
        SetOperationResult(StepResult::Refused);
        return StepResult::Refused;
    }
    panel_.SetControlLevel(ControlLevel::FilesAndBelow, false);
    if (!spec.progressLine.empty()) {
        log_.Append(spec.progressLine);
    }
    const OperationOutcome outcome = body();
    if (!outcome.outcomeLine.empty()) {
        log_.ReplaceLast(outcome.outcomeLine);
    }
    SetOperationResult(outcome.result);
    return outcome.result;
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
